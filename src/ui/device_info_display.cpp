#include "ui/device_info_display.h"

#include <array>

#include "text/text_codec.h"

namespace dalvorn {
namespace {

constexpr std::size_t StringBufferSize = 201;

using StringQuery = std::int32_t (HidPlatform::*)(Handle, void*, std::uint32_t);

// Runs one string query into the shared buffer; on success the label shows its text, which
// `shown` (when given) keeps.
bool QueryIntoLabel(DeviceSession& s, HidPlatform& platform, WindowView& view, StringQuery query,
                    std::array<std::uint8_t, StringBufferSize>& buffer, Control label,
                    std::string* shown = nullptr) {
  if ((platform.*query)(s.OverlappedHandle, buffer.data(), StringQueryLength) == 0) return false;
  const std::string text = Utf8FromUtf16Le(buffer.data(), StringQueryLength);
  view.SetCaption(label, " " + text);
  if (shown != nullptr) *shown = text;
  return true;
}

}  // namespace

std::string VersionText(std::uint16_t versionNumber) {
  static constexpr char HexDigits[] = "0123456789ABCDEF";
  const unsigned major = versionNumber >> 8;
  const unsigned minor = versionNumber & 0xFFu;
  std::string text = " ";
  text += std::to_string(major);
  text += '.';
  if (minor >= 16) text += HexDigits[minor >> 4];
  text += HexDigits[minor & 0xF];
  return text;
}

void ShowDeviceInfo(DeviceSession& s, HidPlatform& platform, WindowView& view, DeviceShown& shown) {
  // One buffer for the three queries, not cleared between them. Each query writes at most its
  // first 100 bytes; the text is read from those bytes only.
  std::array<std::uint8_t, StringBufferSize> buffer{};
  if (s.DeviceFound) {
    if (QueryIntoLabel(s, platform, view, &HidPlatform::HidD_GetManufacturerString, buffer,
                       Control::lblManuf)) {
      const std::string version = VersionText(s.DeviceAttrs.VersionNumber);
      view.SetCaption(Control::lblVersion, version);
      shown.version = version.substr(1);
    }
    QueryIntoLabel(s, platform, view, &HidPlatform::HidD_GetProductString, buffer,
                   Control::lblProduct, &shown.product);
    QueryIntoLabel(s, platform, view, &HidPlatform::HidD_GetSerialNumberString, buffer,
                   Control::lblSerialNumber);
  } else {
    view.SetCaption(Control::lblManuf, "");
    view.SetCaption(Control::lblProduct, "");
    view.SetCaption(Control::lblSerialNumber, "");
    view.SetCaption(Control::lblVersion, " ");
    shown = DeviceShown();
  }
}

}  // namespace dalvorn

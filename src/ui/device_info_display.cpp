#include "ui/device_info_display.h"

#include <array>

namespace dalvorn {
namespace {

constexpr std::size_t StringBufferSize = 201;
constexpr char32_t ReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

using StringQuery = std::int32_t (HidPlatform::*)(Handle, void*, std::uint32_t);

// Runs one string query into the shared buffer; on success the label shows its text.
bool QueryIntoLabel(DeviceSession& s, HidPlatform& platform, WindowView& view, StringQuery query,
                    std::array<std::uint8_t, StringBufferSize>& buffer, Control label) {
  if ((platform.*query)(s.OverlappedHandle, buffer.data(), StringQueryLength) == 0) return false;
  std::string caption = " ";
  caption += DecodeDeviceString(buffer.data(), StringQueryLength);
  view.SetCaption(label, caption);
  return true;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string DecodeDeviceString(const std::uint8_t* bytes, std::size_t size) {
  std::string text;
  const std::size_t units = size / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (unit == 0) break;
    if (IsHighSurrogate(unit)) {
      const char16_t next =
          i + 1 < units ? static_cast<char16_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8)) : 0;
      if (IsLowSurrogate(next)) {
        AppendUtf8(text, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{next} - 0xDC00));
        ++i;
      } else if (next == 0) {
        break;  // the string was cut inside a pair: drop the half
      } else {
        AppendUtf8(text, ReplacementCharacter);
      }
    } else if (IsLowSurrogate(unit)) {
      AppendUtf8(text, ReplacementCharacter);
    } else {
      AppendUtf8(text, unit);
    }
  }
  return text;
}

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

void ShowDeviceInfo(DeviceSession& s, HidPlatform& platform, WindowView& view) {
  // One buffer for the three queries, not cleared between them. Each query writes at most its
  // first 100 bytes; the text is read from those bytes only.
  std::array<std::uint8_t, StringBufferSize> buffer{};
  if (s.DeviceFound) {
    if (QueryIntoLabel(s, platform, view, &HidPlatform::HidD_GetManufacturerString, buffer,
                       Control::lblManuf)) {
      view.SetCaption(Control::lblVersion, VersionText(s.DeviceAttrs.VersionNumber));
    }
    QueryIntoLabel(s, platform, view, &HidPlatform::HidD_GetProductString, buffer,
                   Control::lblProduct);
    QueryIntoLabel(s, platform, view, &HidPlatform::HidD_GetSerialNumberString, buffer,
                   Control::lblSerialNumber);
  } else {
    view.SetCaption(Control::lblManuf, "");
    view.SetCaption(Control::lblProduct, "");
    view.SetCaption(Control::lblSerialNumber, "");
    view.SetCaption(Control::lblVersion, " ");
  }
}

}  // namespace dalvorn

#include "update/block_transfer.h"

#include <array>
#include <vector>

#include "device/device_codes.h"
#include "device/find_the_hid.h"
#include "update/feature_reports.h"

namespace dalvorn {
namespace {

constexpr std::uint32_t ProbePause = 10;
constexpr std::uint32_t BlockPause = 20;
constexpr std::uint32_t PollPause = 100;
constexpr int SettlingPolls = 5;
constexpr std::uint32_t ProbeQueryLength = 100;

std::string ImageErrorText(const std::string& path, const std::string& reason) {
  return "The firmware image \"" + path + "\" cannot be read: " + reason + ".";
}

// Opens the image for the sending pass; reports a failure in a message box.
bool OpenImage(UpgradeContext& c, const std::string& path) {
  std::string error;
  if (c.image.Open(path, error)) return true;
  c.window.ShowMessageBox(ImageErrorText(path, error));
  return false;
}

// The bar's width after `blocksSent` of `recordCount` reads: never the full width, since the
// count includes the read that meets the end of the image.
float ProgressWidth(std::int16_t fullWidth, std::int64_t blocksSent, std::int64_t recordCount) {
  const std::int64_t scaled = static_cast<std::int64_t>(fullWidth) * blocksSent;
  return static_cast<float>(static_cast<double>(scaled) / static_cast<double>(recordCount));
}

// After the last block: closes the session, lets the device settle and waits until it is
// found again.
TransferResult WaitForRestart(UpgradeContext& c) {
  DeviceSession& s = c.session;
  CloseDeviceHandles(s, c.platform);

  // Settling polls make no event pump. A poll that finds the device leaves it open; the next
  // poll closes those handles first, so only the pair stored last stays open.
  bool pollLeftHandlesOpen = false;
  for (int poll = 0; poll < SettlingPolls; ++poll) {
    c.platform.Sleep(PollPause);
    if (pollLeftHandlesOpen) CloseDeviceHandles(s, c.platform);
    s.DeviceFound = FindTheHid(s, c.platform);
    pollLeftHandlesOpen = s.DeviceFound;
    c.window.ShowDeviceInfo();
  }
  CloseDeviceHandles(s, c.platform);

  s.DeviceFound = false;
  while (!s.DeviceFound) {
    if (!PollForDevice(c)) return TransferResult::WindowClosed;
  }
  return s.DeviceAttrs.ProductID == AppProductID ? TransferResult::BackInApplication
                                                 : TransferResult::NotUpdated;
}

}  // namespace

bool PollForDevice(UpgradeContext& c) {
  if (!c.window.PumpEvents()) return false;
  c.platform.Sleep(PollPause);
  c.session.DeviceFound = FindTheHid(c.session, c.platform);
  c.window.ShowDeviceInfo();
  return true;
}

TransferResult SendFlashData(UpgradeContext& c) {
  DeviceSession& s = c.session;
  if (!s.DeviceFound) return TransferResult::NotUpdated;

  std::vector<std::uint8_t> blockBuffer = NewReportBuffer(BlockBufferSize, s);
  std::uint8_t flashRecord[FlashRecordSize] = {};
  const std::string path = FirmwareImagePath(c.platform.ProgramFolder());

  std::int64_t recordCount = 0;
  std::string error;
  if (!CountImageRecords(c.image, path, recordCount, error)) {
    c.window.ShowMessageBox(ImageErrorText(path, error));
    return TransferResult::ImageUnreadable;
  }
  c.platform.Sleep(ProbePause);

  c.window.SetProgressVisible(true);
  c.window.SetProgressWidth(0);

  // The manufacturer string tells that the device answers on the session's handles.
  std::array<std::uint8_t, 201> probeBuffer{};
  s.LastResult = c.platform.HidD_GetManufacturerString(s.OverlappedHandle, probeBuffer.data(),
                                                       ProbeQueryLength);
  if (s.LastResult == 0) return TransferResult::NotUpdated;

  c.window.SetUpgradeCaption("Updating firmware...");
  if (!OpenImage(c, path)) return TransferResult::ImageUnreadable;

  std::int64_t blocksSent = 0;
  while (!c.image.Eof()) {
    c.image.ReadRecord(flashRecord);
    if (c.image.Eof()) continue;  // a tail shorter than a record is never sent

    BuildDataBlockMessage(blockBuffer, flashRecord);
    if (SendFeatureReport(s, c.platform, blockBuffer) == 0) {
      c.window.SetProgressWidth(0);
      c.image.Close();
      CloseDeviceHandles(s, c.platform);
      return TransferResult::NotUpdated;
    }
    c.platform.Sleep(BlockPause);
    ++blocksSent;
    c.window.SetProgressWidth(ProgressWidth(s.ProgressFullWidth, blocksSent, recordCount));
    c.window.RepaintProgress();
    if (!c.window.PumpEvents()) {
      c.image.Close();
      return TransferResult::WindowClosed;
    }
  }

  c.image.Close();
  c.window.SetUpgradeCaption("Finishing...");
  c.window.SetProgressWidth(0);
  return WaitForRestart(c);
}

}  // namespace dalvorn

#include "update/block_transfer.h"

#include <array>
#include <vector>

#include "device/device_codes.h"
#include "device/find_the_hid.h"
#include "text/translation.h"
#include "update/feature_reports.h"
#include "update/status_texts.h"
#include "update/transfer_progress.h"
#include "update/upgrade_captions.h"

namespace dalvorn {
namespace {

constexpr std::uint32_t ProbePause = 10;
constexpr std::uint32_t PollPause = 100;
constexpr int SettlingPolls = 5;
constexpr std::uint32_t ProbeQueryLength = 100;

// The bar's width after `blocksSent` blocks: never the full width, since the record count is
// one more than the blocks of a whole image.
float ProgressWidth(std::int16_t fullWidth, std::int64_t blocksSent, std::int64_t recordCount) {
  const std::int64_t scaled = static_cast<std::int64_t>(fullWidth) * blocksSent;
  return static_cast<float>(static_cast<double>(scaled) / static_cast<double>(recordCount));
}

// After the last block, sent at `lastBlockUs`: closes the session, lets the device settle and
// waits until it is found in application mode. Found in bootloader mode, it failed when it left
// the bus since the last block (it came back in bootloader mode), and is still writing or
// restarting when it never left, until RestartTimeoutMicroseconds have passed.
TransferResult WaitForRestart(UpgradeContext& c, std::int64_t lastBlockUs) {
  DeviceSession& s = c.session;
  c.window.SetStatusText(WaitingForRestartText());
  c.shell.SetTaskbarState(TaskbarState::Waiting);
  CloseDeviceHandles(s, c.platform);

  // Settling polls make no event pump. A poll that finds the device leaves it open; the next
  // poll closes those handles first, so only the pair stored last stays open.
  bool left = false;  // absent from at least one search since the last block
  bool pollLeftHandlesOpen = false;
  for (int poll = 0; poll < SettlingPolls; ++poll) {
    c.platform.Sleep(PollPause);
    if (pollLeftHandlesOpen) CloseDeviceHandles(s, c.platform);
    const bool found = FindTheHid(s, c.platform);
    if (s.AnotherDeviceFound) return TransferResult::AnotherDevice;
    left = left || !found;
    pollLeftHandlesOpen = found;
    c.window.ShowDeviceInfo();
  }
  CloseDeviceHandles(s, c.platform);

  s.DeviceFound = false;
  for (;;) {
    if (!PollForDevice(c)) return TransferResult::WindowClosed;
    if (s.AnotherDeviceFound) return TransferResult::AnotherDevice;
    if (!s.DeviceFound) {
      left = true;
      continue;
    }
    if (s.DeviceAttrs.ProductID == AppProductID) return TransferResult::BackInApplication;
    if (left) return TransferResult::BackInBootloader;
    CloseDeviceHandles(s, c.platform);
    s.DeviceFound = false;
    if (c.platform.SteadyMicroseconds() - lastBlockUs >= RestartTimeoutMicroseconds) {
      return TransferResult::NotRestarted;
    }
  }
}

}  // namespace

bool PollForDevice(UpgradeContext& c) {
  if (!c.window.PumpEvents()) return false;
  c.platform.Sleep(PollPause);
  FindTheHid(c.session, c.platform);
  c.window.ShowDeviceInfo();
  return true;
}

TransferOutcome SendFlashData(UpgradeContext& c, const FirmwareImage& image) {
  DeviceSession& s = c.session;
  TransferOutcome outcome;
  outcome.blockCount = image.WholeRecords();
  if (!s.DeviceFound) return outcome;

  std::vector<std::uint8_t> blockBuffer = NewReportBuffer(BlockBufferSize, s);
  c.platform.Sleep(ProbePause);
  c.window.SetProgressVisible(true);
  c.window.SetProgressWidth(0);

  // The manufacturer string tells that the device answers on the session's handles.
  std::array<std::uint8_t, 201> probeBuffer{};
  if (c.platform.HidD_GetManufacturerString(s.OverlappedHandle, probeBuffer.data(),
                                            ProbeQueryLength) == 0) {
    outcome.result = TransferResult::NoAnswer;
    return outcome;
  }
  c.window.SetUpgradeCaption(Tr(UpdatingCaption));
  c.window.SetStatusText(UpdateStartedText());
  c.shell.SetTaskbarState(TaskbarState::Normal);
  c.shell.SetTaskbarProgress(0);

  // Per block: send, show the progress, let the window handle its events, then pause for
  // what is left of the pace since the send returned, so the bar and the pump do not slow
  // the transfer down.
  const std::int64_t recordCount = image.RecordCount();
  TransferProgress progress(static_cast<std::int64_t>(outcome.blockCount));
  std::int64_t sent = c.platform.SteadyMicroseconds();
  for (std::size_t block = 0; block < outcome.blockCount; ++block) {
    BuildDataBlockMessage(blockBuffer, image.Record(block));
    if (SendFeatureReport(s, c.platform, blockBuffer) == 0) {
      // Asked before any other call can change the reason.
      const bool gone = c.platform.LastErrorCode() == ErrorDeviceNotConnected;
      c.window.SetProgressWidth(0);
      CloseDeviceHandles(s, c.platform);
      outcome.result = gone ? TransferResult::Disconnected : TransferResult::BlockRefused;
      outcome.refusedBlock = block + 1;
      return outcome;
    }
    sent = c.platform.SteadyMicroseconds();
    const auto blocksSent = static_cast<std::int64_t>(block) + 1;
    c.window.SetProgressWidth(ProgressWidth(c.progressFullWidth, blocksSent, recordCount));
    c.window.RepaintProgress();
    const TransferProgress::Step step = progress.BlockSent(blocksSent, sent);
    if (step.secondsLeft) c.window.SetStatusText(TransferStatusText(*step.secondsLeft));
    if (step.percent) c.shell.SetTaskbarProgress(*step.percent);
    if (!c.window.PumpEvents()) {
      outcome.result = TransferResult::WindowClosed;
      return outcome;
    }
    c.platform.SleepUntil(sent + BlockPaceMicroseconds);
  }

  c.window.SetUpgradeCaption(Tr(FinishingCaption));
  c.window.SetProgressWidth(0);
  outcome.result = WaitForRestart(c, sent);
  return outcome;
}

}  // namespace dalvorn

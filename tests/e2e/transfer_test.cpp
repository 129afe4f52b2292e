// The block transfer: which records go out, how the bar grows, the report lengths, and the
// wait for the restart.
#include <gtest/gtest.h>

#include "device/device_codes.h"
#include "emulated_host.h"

namespace dalvorn::testing {
namespace {

// Data blocks sent to the device in bootloader mode, as bytes.
std::vector<std::vector<std::uint8_t>> Blocks(const EmulatedHost& host) {
  std::vector<std::vector<std::uint8_t>> blocks;
  for (const json& call : host.Calls("HidD_SetFeature")) {
    auto bytes = HexBytes(call["data"]);
    const bool command =
        bytes.size() > 3 && ((bytes[1] == BootEntryCode[0] && bytes[2] == BootEntryCode[1]) ||
                             (bytes[1] == UnlockCode[0] && bytes[2] == UnlockCode[1]));
    if (!command) blocks.push_back(std::move(bytes));
  }
  return blocks;
}

struct ImageCase {
  long bytes;
  std::vector<double> widths;  // after the bar was shown at 0, through the 0 of finishing
};

TEST(Transfer, SendsEveryWholeRecordAndGrowsTheBarToNOfNPlusOne) {
  const ImageCase cases[] = {
      {40, {0, 2527.5, 0}},
      {120, {0, 1263.75, 2527.5, 3791.25, 0}},
      {130, {0, 1263.75, 2527.5, 3791.25, 0}},
  };
  for (const ImageCase& c : cases) {
    SCOPED_TRACE(c.bytes);
    EmulatedHost host(R"({"device": {"mode": "boot"}})", c.bytes);
    host.Load();
    host.Click();
    EXPECT_EQ(host.ProgressWidths(), c.widths);
    EXPECT_EQ(host.platform.Device().Flash(), host.Image());
    EXPECT_EQ(host.ButtonCaptions(),
              (std::vector<std::string>{"Updating firmware...", "Finishing..."}));
    EXPECT_EQ(host.frm.Outcome(), UpgradeOutcome::Updated);
  }
}

TEST(Transfer, ImagesPastTheOldSixteenBitCountAreSentWhole) {
  // 32,768 whole records: more than a 16-bit record count could hold.
  const long bytes = 32768L * 40;
  EmulatedHost host(R"({"device": {"mode": "boot"}})", bytes);
  host.Load();
  host.Click();
  EXPECT_EQ(host.platform.Device().Flash().size(), static_cast<std::size_t>(bytes));
  const auto widths = host.ProgressWidths();
  ASSERT_GE(widths.size(), 3u);
  EXPECT_NEAR(widths[widths.size() - 2], 5055.0 * 32768 / 32769, 0.01);
  EXPECT_EQ(host.frm.Outcome(), UpgradeOutcome::Updated);
}

struct LengthCase {
  std::uint16_t length;
  std::size_t recordBytesSent;
};

TEST(Transfer, EveryReportHasTheDevicesLength) {
  // A bootloader whose reports are shorter than a block is sent none.
  const LengthCase cases[] = {{20, 0}, {41, 40}, {65, 40}, {101, 40}, {200, 40}, {1500, 40}};
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string n = std::to_string(c.length);
    EmulatedHost host(R"({"device": {"status": [1, 0],
                          "app": {"report_length": )" +
                          n + R"(},
                          "boot": {"report_length": )" +
                          n + "}}}",
                      120);
    host.Load();
    host.Click();
    for (const json& call : host.Calls("HidD_SetFeature")) {
      EXPECT_EQ(call["length"], c.length);
      EXPECT_EQ(HexBytes(call["data"]).size(), c.length);
    }
    for (const json& call : host.Calls("HidD_GetFeature")) {
      EXPECT_EQ(call["length"], c.length);
    }
    const auto blocks = Blocks(host);
    ASSERT_EQ(blocks.size(), c.recordBytesSent == 0 ? 0u : 3u);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      EXPECT_EQ(blocks[b][0], 0);
      for (std::size_t k = 1; k <= c.recordBytesSent; ++k) {
        EXPECT_EQ(blocks[b][k], ImageByte(b * 40 + k - 1));
      }
      for (std::size_t k = c.recordBytesSent + 1; k < blocks[b].size(); ++k) {
        EXPECT_EQ(blocks[b][k], 0) << k;
      }
    }
  }
}

TEST(Transfer, SettlingPollsThatFindTheDeviceLeaveNoHandleOpen) {
  // The device is back at once, so every settling poll finds it.
  EmulatedHost host(R"({"device": {"mode": "boot", "on_restart": {"leave_after_ms": 0,
                                   "back_after_ms": 0, "as": "app"}}})",
                    80);
  host.Load();
  host.Click();
  EXPECT_EQ(host.frm.Outcome(), UpgradeOutcome::Updated);
  host.Finish();
  EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
  // After "Finishing..." the wait still makes one poll (pump, pause) after the settling.
  bool finishing = false;
  std::size_t pumps = 0;
  for (const json& line : host.Events("window")) {
    if (line["op"] == "caption" && line["text"] == "Finishing...") finishing = true;
    if (finishing && line["op"] == "pump") ++pumps;
  }
  EXPECT_EQ(pumps, 1u);
}

TEST(Transfer, ADeviceThatNeverComesBackIsWaitedForWithTheWindowAlive) {
  EmulatedHost host(R"({"device": {"mode": "boot", "on_restart": {"leave_after_ms": 0,
                                   "back_after_ms": 0, "as": "never"}}})",
                    80);
  host.Load();
  host.CloseAtPump(500);
  host.Click();
  EXPECT_EQ(host.frm.Outcome(), UpgradeOutcome::Interrupted);
  EXPECT_GE(host.clock.NowMs(), 400 * 100);
}

}  // namespace
}  // namespace dalvorn::testing

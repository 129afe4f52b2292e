// The whole update from the click on: switching, re-finding, status and unlock, transfer,
// restart and unload, and how it ends when something goes wrong.
#include <gtest/gtest.h>

#include "device/device_codes.h"
#include "emulated_host.h"

namespace dalvorn::testing {
namespace {

constexpr const char* BootEntryHex = "00b0071d";
constexpr const char* UnlockHex = "00554e4c4bd4170a5e";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The feature reports sent, as hex, in order.
std::vector<std::string> Sent(const EmulatedHost& host) {
  std::vector<std::string> sent;
  for (const json& call : host.Calls("HidD_SetFeature")) sent.push_back(call["data"]);
  return sent;
}

std::size_t Count(const std::vector<std::string>& sent, const std::string& prefix) {
  std::size_t n = 0;
  for (const auto& s : sent) n += StartsWith(s, prefix) ? 1 : 0;
  return n;
}

TEST(Upgrade, FromApplicationModeToNewFirmware) {
  EmulatedHost host(R"({"device": {"status": [0, 1],
                                   "app_after_update": {"version": "0x0103"}}})",
                    4010);
  host.Load();
  host.Click();
  EXPECT_EQ(host.frm.Outcome(), UpgradeOutcome::Updated);
  EXPECT_EQ(host.Finish(), 0);

  EXPECT_EQ(host.ButtonCaptions(),
            (std::vector<std::string>{"Switching to bootloader...", "Updating firmware...",
                                      "Finishing..."}));
  const auto sent = Sent(host);
  ASSERT_EQ(sent.size(), 2u + 100u);
  EXPECT_TRUE(StartsWith(sent[0], BootEntryHex));
  EXPECT_TRUE(StartsWith(sent[1], UnlockHex));
  EXPECT_EQ(host.platform.Device().Flash(), host.Image());
  EXPECT_EQ(host.Label(Control::lblVersion), " 1.3");

  // The status is read after the entry message and before the unlock; the window is unloaded
  // at the end.
  std::vector<std::string> order;
  for (const json& line : host.Trace()) {
    if (line["ev"] == "call" && line["fn"] == "HidD_GetFeature") order.push_back("status");
    if (line["ev"] == "call" && line["fn"] == "HidD_SetFeature") {
      const std::string data = line["data"];
      if (StartsWith(data, BootEntryHex)) order.push_back("entry");
      if (StartsWith(data, UnlockHex)) order.push_back("unlock");
    }
    if (line["ev"] == "window" && line["op"] == "unload") order.push_back("unload");
  }
  EXPECT_EQ(order, (std::vector<std::string>{"entry", "status", "unlock", "unload"}));
  EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
}

struct StatusCase {
  const char* name;
  const char* device;
  std::size_t unlocks;
};

TEST(Upgrade, UnlocksOnlyWhenASuccessfulStatusReadAsksForIt) {
  const StatusCase cases[] = {
      {"both bytes zero", R"("status": [0, 0])", 0},
      {"byte 1 set", R"("status": [1, 0])", 1},
      {"byte 2 set", R"("status": [0, 1])", 1},
      {"both set", R"("status": [255, 255])", 1},
      {"read fails", R"("status": [1, 1], "status_read_fails": true)", 0},
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.name);
    EmulatedHost host(std::string(R"({"device": {)") + c.device + "}}", 120);
    host.Load();
    host.Click();
    const auto sent = Sent(host);
    EXPECT_EQ(Count(sent, UnlockHex), c.unlocks);
    if (c.unlocks == 1) {
      EXPECT_TRUE(StartsWith(sent[1], UnlockHex));
    }
    EXPECT_EQ(host.platform.Device().Flash(), host.Image());
  }
}

struct EndCase {
  const char* name;
  const char* scenario;
  long imageBytes;
  UpgradeOutcome outcome;
  int exitStatus;
  std::size_t blocksTaken;
  bool imageGoneAtTheClick = false;  // removed after the load, unseen by the window
};

TEST(Upgrade, EndsWithAnExitStatusThatTellsTheOutcome) {
  const EndCase cases[] = {
      {"back in application mode", R"({"device": {}})", 200, UpgradeOutcome::Updated, 0, 5},
      {"back in bootloader mode",
       R"({"device": {"on_restart": {"leave_after_ms": 0, "back_after_ms": 500, "as": "boot"}}})",
       200, UpgradeOutcome::Failed, 1, 5},
      {"third block refused", R"({"device": {"refuse_block": 3}})", 200, UpgradeOutcome::Failed, 1,
       2},
      {"probe fails in bootloader mode",
       R"({"device": {"boot": {"strings": {"product": "Boot"}}}})", 200, UpgradeOutcome::Failed, 1,
       0},
      {"image missing at the click", R"({"device": {}})", 200, UpgradeOutcome::Refused, 2, 0, true},
      {"in bootloader mode at the click", R"({"device": {"mode": "boot"}})", 200,
       UpgradeOutcome::Updated, 0, 5},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.name);
    EmulatedHost host(c.scenario, c.imageBytes);
    host.Load();
    if (c.imageGoneAtTheClick) std::filesystem::remove(host.ImagePath());
    host.Click();
    EXPECT_EQ(host.frm.Outcome(), c.outcome);
    EXPECT_EQ(host.Finish(), c.exitStatus);
    EXPECT_EQ(host.platform.Device().Flash().size(), c.blocksTaken * FlashRecordSize);
    EXPECT_TRUE(host.view.unloaded);
    EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
    EXPECT_EQ(host.Events("window").back()["op"], "terminate");
  }
}

TEST(Upgrade, AMissingImageIsNamedInAMessageBoxAndNeverCreated) {
  // Gone after the load: the window has not seen it go, and the click's own check refuses it.
  EmulatedHost host(R"({"device": {}})");
  host.Load();
  std::filesystem::remove(host.ImagePath());
  host.Click();
  ASSERT_EQ(host.view.messageBoxes.size(), 1u);
  EXPECT_NE(host.view.messageBoxes[0].find(host.ImagePath().string()), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(host.ImagePath()));
  EXPECT_TRUE(Sent(host).empty());
  EXPECT_TRUE(host.ProgressWidths().empty());
  EXPECT_TRUE(host.ButtonCaptions().empty());
}

TEST(Upgrade, ARefusedBlockStopsTheTransferWithTheBarEmpty) {
  EmulatedHost host(R"({"device": {"refuse_block": 3}})", 400);
  host.Load();
  host.Click();
  EXPECT_EQ(host.ButtonCaptions().back(), "Updating firmware...");
  EXPECT_EQ(host.ProgressWidths().back(), 0.0);
  EXPECT_EQ(Count(Sent(host), "00"), 2u + 3u);  // entry, unlock, two blocks and the refused one
  // No search after the refused block.
  const auto trace = host.Trace();
  bool refused = false;
  for (const json& line : trace) {
    if (line["ev"] == "call" && line["fn"] == "HidD_SetFeature" && line["result"] == 0) {
      refused = true;
      continue;
    }
    if (refused && line["ev"] == "call") {
      EXPECT_EQ(line["fn"], "CloseHandle");
    }
  }
}

TEST(Upgrade, AClickWithNoDeviceDoesNothing) {
  EmulatedHost host(R"({"device": {"present": false}})");
  host.Load();
  const std::size_t before = host.Trace().size();
  host.Click();
  EXPECT_EQ(host.Trace().size(), before);
  EXPECT_FALSE(host.view.unloaded);
  EXPECT_EQ(host.frm.Outcome(), UpgradeOutcome::NotStarted);
}

TEST(Upgrade, ADeviceInBootloaderModeGetsNoEntryMessage) {
  EmulatedHost host(R"({"device": {"mode": "boot"}})", 80);
  host.Load();
  host.Click();
  EXPECT_EQ(Count(Sent(host), BootEntryHex), 0u);
  EXPECT_EQ(host.ButtonCaptions().front(), "Updating firmware...");
}

TEST(Upgrade, ClosingTheWindowStopsTheUpdateAtOnce) {
  // Pump 1 is in the wait after the entry message, pump 6 during the transfer, pump 60 in the
  // wait for the restart.
  for (const int pump : {1, 6, 60}) {
    SCOPED_TRACE(pump);
    EmulatedHost host(R"({"device": {"on_restart": {"leave_after_ms": 0,
                                     "back_after_ms": 10000, "as": "app"}}})",
                      400);
    host.Load();
    host.CloseAtPump(pump);
    host.Click();
    EXPECT_EQ(host.frm.Outcome(), UpgradeOutcome::Interrupted);
    EXPECT_EQ(host.Finish(), 3);
    bool unloaded = false;
    for (const json& line : host.Trace()) {
      if (line["ev"] == "window" && line["op"] == "unload") unloaded = true;
      if (unloaded && line["ev"] == "call") {
        EXPECT_EQ(line["fn"], "CloseHandle");
      }
      if (unloaded && line["ev"] == "window") {
        EXPECT_TRUE(line["op"] == "unload" || line["op"] == "terminate") << line.dump();
      }
    }
    EXPECT_TRUE(unloaded);
    EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
  }
}

TEST(Upgrade, ClicksDuringTheUpdateAreIgnored) {
  EmulatedHost host(R"({"device": {}})", 200);
  host.Load();
  emulator::PumpInjections injections;
  injections.clickAtPump = 2;
  injections.click = [&host] { host.view.Click(); };
  host.injectingView.Arm(injections);
  host.Click();
  EXPECT_EQ(Count(Sent(host), BootEntryHex), 1u);
  EXPECT_EQ(host.platform.Device().Flash(), host.Image());
}

}  // namespace
}  // namespace dalvorn::testing

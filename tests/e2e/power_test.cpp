// The machine held awake for the whole update: the battery asked at the click, the hold taken
// before the image is read and let go at the window's unload, whatever the outcome; and no
// update at all on a low battery.
#include <gtest/gtest.h>

#include "emulated_host.h"

namespace dalvorn::testing {
namespace {

// The lines after `from` that tell the story, joined by ", ": the button disabled, every power
// line with its fields, the image read, the first of a run of reports sent, a message box, the
// unload, the terminate and the exit.
std::string KeyLines(const std::vector<json>& trace, std::size_t from) {
  std::vector<std::string> keys;
  for (std::size_t i = from; i < trace.size(); ++i) {
    const json& l = trace[i];
    const std::string ev = l["ev"];
    const std::string op = l.value("op", "");
    std::string key;
    if (ev == "power" && op == "battery") {
      key = l.contains("known")
                ? "battery unknown"
                : "battery " + l["on_battery"].dump() + " " + l["percentage"].dump();
    } else if (ev == "power" && op == "hold") {
      key = "hold " + l["result"].dump();
    } else if (ev == "power") {
      key = op;
    } else if (ev == "window" &&
               (op == "enabled" || op == "message_box" || op == "unload" || op == "terminate")) {
      key = op;
    } else if (ev == "image") {
      key = "image";
    } else if (ev == "call" && l["fn"] == "HidD_SetFeature") {
      key = "send";
    } else if (ev == "exit") {
      key = "exit " + l["code"].dump();
    }
    if (!key.empty() && (keys.empty() || keys.back() != key)) keys.push_back(key);
  }
  std::string joined;
  for (const std::string& key : keys) joined += (joined.empty() ? "" : ", ") + key;
  return joined;
}

struct PowerCase {
  const char* name;
  const char* power;   // the scenario's `power`
  const char* device;  // fields of the scenario's `device` besides its mode
  long imageBytes;     // -1: removed after the load, unseen by the window
  int closeAtPump;     // 0: never
  int exitCode;
  const char* keys;
  const char* box;  // the exact message box text; empty: none, or one not checked here
};

void PrintTo(const PowerCase& c, std::ostream* os) {
  *os << c.name;
}

#define DALVORN_LOW_BATTERY(n) \
  "The battery is at " n " %. Connect the power supply, then start the update again."

const PowerCase kCases[] = {
    {"Updated", "{}", "", 400, 0, 0,
     "enabled, battery false 100, hold true, image, send, unload, release, terminate, exit 0", ""},
    {"FailedAtABlock", "{}", R"(, "refuse_block": 3)", 400, 0, 1,
     "enabled, battery false 100, hold true, image, send, message_box, unload, release, "
     "terminate, exit 1",
     ""},
    {"ImageRefused", "{}", "", -1, 0, 2,
     "enabled, battery false 100, hold true, image, message_box, unload, release, terminate, "
     "exit 2",
     ""},
    {"WindowClosedDuringTheUpdate", "{}", "", 400, 4, 3,
     "enabled, battery false 100, hold true, image, send, unload, release, terminate, exit 3", ""},
    {"OnBatteryAt10", R"({"on_battery": true, "percentage": 10})", "", 400, 0, 2,
     "enabled, battery true 10, message_box, unload, terminate, exit 2", DALVORN_LOW_BATTERY("10")},
    {"OnBatteryAt24", R"({"on_battery": true, "percentage": "24"})", "", 400, 0, 2,
     "enabled, battery true 24, message_box, unload, terminate, exit 2", DALVORN_LOW_BATTERY("24")},
    {"OnBatteryAt0", R"({"on_battery": true, "percentage": 0})", "", -1, 0, 2,
     "enabled, battery true 0, message_box, unload, terminate, exit 2", DALVORN_LOW_BATTERY("0")},
    {"OnBatteryAt25", R"({"on_battery": true, "percentage": 25})", "", 400, 0, 0,
     "enabled, battery true 25, hold true, image, send, unload, release, terminate, exit 0", ""},
    {"OnPowerSupplyAt10", R"({"on_battery": false, "percentage": 10})", "", 400, 0, 0,
     "enabled, battery false 10, hold true, image, send, unload, release, terminate, exit 0", ""},
    {"OnBatteryChargeUnknown", R"({"on_battery": true, "percentage": null})", "", 400, 0, 0,
     "enabled, battery unknown, hold true, image, send, unload, release, terminate, exit 0", ""},
    {"HoldRefusedUpdatesAnyway", R"({"hold_refused": true})", "", 400, 0, 0,
     "enabled, battery false 100, hold false, image, send, unload, terminate, exit 0", ""},
};

class PowerAroundTheUpdate : public ::testing::TestWithParam<PowerCase> {};

TEST_P(PowerAroundTheUpdate, InBothDeviceModes) {
  const PowerCase& c = GetParam();
  for (const char* mode : {"app", "boot"}) {
    SCOPED_TRACE(mode);
    EmulatedHost host(std::string(R"({"device": {"mode": ")") + mode + "\"" + c.device +
                          R"(}, "power": )" + c.power + "}",
                      c.imageBytes < 0 ? 400 : c.imageBytes, PowerService::Emulated);
    host.Load();
    if (c.imageBytes < 0) std::filesystem::remove(host.ImagePath());
    const std::size_t loaded = host.Trace().size();
    if (c.closeAtPump != 0) host.CloseAtPump(c.closeAtPump);
    host.Click();
    EXPECT_EQ(host.Finish(), c.exitCode);
    EXPECT_EQ(KeyLines(host.Trace(), loaded), c.keys);
    if (*c.box != '\0') {
      EXPECT_EQ(host.view.messageBoxes, std::vector<std::string>{c.box});
      // Refused on the battery: the device was not touched and stays in its mode.
      EXPECT_TRUE(host.platform.Device().Flash().empty());
      EXPECT_EQ(host.platform.Device().Mode(), std::string(mode) == "app"
                                                   ? emulator::DeviceMode::App
                                                   : emulator::DeviceMode::Boot);
      EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, PowerAroundTheUpdate, ::testing::ValuesIn(kCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// Without an update the power service is not asked: a window closed idle, a click with no
// device found.
TEST(PowerWithoutAnUpdate, IsNeitherAskedNorHeld) {
  const struct {
    const char* scenario;
    bool click;
  } cases[] = {
      {R"({"power": {"on_battery": true, "percentage": 5}})", false},
      {R"({"device": {"present": false}, "power": {"on_battery": true, "percentage": 5}})", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    EmulatedHost host(c.scenario, 400, PowerService::Emulated);
    host.Load();
    if (c.click) host.Click();
    host.Close();
    EXPECT_EQ(host.Finish(), 0);
    EXPECT_TRUE(host.Events("power").empty());
    EXPECT_TRUE(host.view.messageBoxes.empty());
  }
}

}  // namespace
}  // namespace dalvorn::testing

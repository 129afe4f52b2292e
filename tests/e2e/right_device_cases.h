// One table of devices that are slow, stubborn, unplugged or not alone, run through the
// headless window, the Qt runner and the Win32 runner alike: the update talks only to the one
// device of its kind, only once it is in its bootloader, and judges it only once it has
// restarted.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "device/device_codes.h"

namespace dalvorn::testing {

struct RightDeviceCase {
  const char* name;
  const char* scenario;
  int exitCode;
  int blocksFlashed;    // -1: every whole record of the image
  const char* message;  // a part of the one message box shown, or nullptr for none
  // Virtual time from the last report sent to the message box, at least and below: the waits'
  // limits. 0: not checked.
  std::int64_t boxAfterMs;
  std::int64_t boxBeforeMs;
  // Virtual milliseconds the window idles between its load and the click (the runners'
  // --idle-ms).
  std::int64_t idleMs = 0;
};

// The runner's options for the case's idle time, beside --click.
inline std::vector<std::string> IdleArguments(const RightDeviceCase& c) {
  if (c.idleMs == 0) return {};
  return {"--idle-ms", std::to_string(c.idleMs)};
}

inline void PrintTo(const RightDeviceCase& c, std::ostream* os) {
  *os << c.name;
}

// Plugged in 100 ms after the load and clicked 100 ms later, before the window's quiet time is
// over: the window still shows one device, and the click's own count refuses the update.
#define DALVORN_SECOND_DEVICE                                                   \
  R"({"vendor": "0x1209", "product": "0x0001", "strings": {"serial": "0043"},)" \
  R"( "plugged_at_ms": 100})"

inline const RightDeviceCase RightDeviceCases[] = {
    {"LeavesHalfASecondAfterTheEntry",
     R"({"device": {"on_boot_entry": {"leave_after_ms": 500, "back_after_ms": 300}}})", 0, -1,
     nullptr, 0, 0},
    {"LeavesTwoSecondsAfterTheEntry",
     R"({"device": {"on_boot_entry": {"leave_after_ms": 2000, "back_after_ms": 300}}})", 0, -1,
     nullptr, 0, 0},
    {"ComesBackInApplicationMode",
     R"({"device": {"on_boot_entry": {"leave_after_ms": 0, "back_after_ms": 300, "as": "app"}}})",
     1, 0, "did not switch to its bootloader", 30000, 30250},
    {"NeverLeavesApplicationMode",
     R"({"device": {"on_boot_entry": {"leave_after_ms": 100000000, "back_after_ms": 0}}})", 1, 0,
     "still runs its current firmware", 30000, 30250},
    {"RestartsEightHundredMillisecondsAfterTheData",
     R"({"device": {"on_restart": {"leave_after_ms": 800, "back_after_ms": 800}}})", 0, -1, nullptr,
     0, 0},
    {"RestartsFiveSecondsAfterTheData",
     R"({"device": {"on_restart": {"leave_after_ms": 5000, "back_after_ms": 800}}})", 0, -1,
     nullptr, 0, 0},
    {"ComesBackInBootloaderMode",
     R"({"device": {"on_restart": {"leave_after_ms": 0, "back_after_ms": 800, "as": "boot"}}})", 1,
     -1, "restarted in bootloader mode", 0, 0},
    {"NeverRestarts",
     R"({"device": {"on_restart": {"leave_after_ms": 100000000, "back_after_ms": 0}}})", 1, -1,
     "did not restart after the firmware was sent", 60000, 60300},
    {"UnpluggedAtTheThirdBlock", R"({"device": {"unplug_at_block": 3}})", 1, 2,
     "disconnected at data block 3 of", 0, 0},
    {"ASecondDeviceBeforeIt",
     R"({"interfaces": [)" DALVORN_SECOND_DEVICE R"(, {"target": true}], "device": {}})", 2, 0,
     "2 devices of this kind are connected", 0, 0, 200},
    {"ASecondDeviceAfterIt",
     R"({"interfaces": [{"target": true}, )" DALVORN_SECOND_DEVICE R"(], "device": {}})", 2, 0,
     "Nothing was sent to the device", 0, 0, 200},
    {"OneDeviceWithTwoInterfaces",
     R"({"interfaces": [{"target": true}, {"vendor": "0x1209", "product": "0x0001",
                          "physical": "target"}], "device": {}})",
     0, -1, nullptr, 0, 0},
};

#undef DALVORN_SECOND_DEVICE

// What the trace shows went wrong with the reports sent: every report but the bootloader-entry
// message went to a handle opened on the device in bootloader mode. Empty when none did.
inline std::string ReportsOutsideTheBootloader(const std::vector<nlohmann::json>& trace) {
  std::map<std::int64_t, std::uint16_t> product;  // handle -> product ID of its attributes
  std::string wrong;
  for (const nlohmann::json& line : trace) {
    if (line.value("ev", "") != "call") continue;
    const std::string fn = line.value("fn", "");
    if (fn == "HidD_GetAttributes" && line.value("result", 0) != 0) {
      product[line.value("handle", std::int64_t{0})] = line.value("product", std::uint16_t{0});
    }
    if (fn != "HidD_SetFeature" && fn != "HidD_GetFeature") continue;
    const std::string data = line.value("data", "");
    if (fn == "HidD_SetFeature" && data.rfind("00b0071d", 0) == 0) continue;
    const auto it = product.find(line.value("handle", std::int64_t{0}));
    if (it == product.end() || it->second != BootProductID) wrong += line.dump() + "\n";
  }
  return wrong;
}

// Virtual time from the last report sent to the first message box; -1 without either.
inline std::int64_t BoxAfterLastReportMs(const std::vector<nlohmann::json>& trace) {
  std::int64_t report = -1;
  for (const nlohmann::json& line : trace) {
    const std::int64_t t = line.value("t", std::int64_t{0});
    if (line.value("ev", "") == "call" && line.value("fn", "") == "HidD_SetFeature") report = t;
    if (line.value("op", "") == "message_box") return report < 0 ? -1 : t - report;
  }
  return -1;
}

// Checks one run against its case: the exit status, what the device flashed (out of `records`
// whole records of the image), the message box and when it came, and that no report but the
// entry message reached the device outside its bootloader. Empty when all hold.
inline std::string CheckRightDeviceRun(const RightDeviceCase& c,
                                       const std::vector<nlohmann::json>& trace, int exitCode,
                                       std::size_t flashedBytes, std::size_t records) {
  std::string wrong;
  if (exitCode != c.exitCode) wrong += "exit status " + std::to_string(exitCode) + "\n";
  const std::size_t blocks = c.blocksFlashed < 0 ? records : std::size_t(c.blocksFlashed);
  if (flashedBytes != blocks * 40) wrong += "flashed " + std::to_string(flashedBytes) + " bytes\n";
  std::vector<std::string> boxes;
  for (const nlohmann::json& line : trace) {
    if (line.value("op", "") == "message_box") boxes.push_back(line.value("text", ""));
  }
  if (c.message == nullptr ? !boxes.empty()
                           : boxes.size() != 1 || boxes[0].find(c.message) == std::string::npos) {
    wrong += "message boxes: " + nlohmann::json(boxes).dump() + "\n";
  }
  if (c.boxAfterMs > 0) {
    const std::int64_t after = BoxAfterLastReportMs(trace);
    if (after < c.boxAfterMs || after >= c.boxBeforeMs) {
      wrong += "box " + std::to_string(after) + " ms after the last report\n";
    }
  }
  if (c.exitCode == 2) {
    for (const nlohmann::json& line : trace) {
      const std::string fn = line.value("fn", "");
      if (fn == "HidD_SetFeature" || fn == "HidD_GetFeature")
        wrong += "sent: " + line.dump() + "\n";
    }
  }
  return wrong + ReportsOutsideTheBootloader(trace);
}

}  // namespace dalvorn::testing

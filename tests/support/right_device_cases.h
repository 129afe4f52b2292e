// One table of devices that are slow, stubborn, unplugged or not alone, run through the
// headless window, the Qt runner and the Win32 runner alike: the update talks only to the one
// device of its kind, only once it is in its bootloader, and judges it only once it has
// restarted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "runner_run.h"

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
};

inline void PrintTo(const RightDeviceCase& c, std::ostream* os) {
  *os << c.name;
}

#define DALVORN_SECOND_DEVICE \
  R"({"vendor": "0x1209", "product": "0x0001", "strings": {"serial": "0043"}})"

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
     "2 devices of this kind are connected", 0, 0},
    {"ASecondDeviceAfterIt",
     R"({"interfaces": [{"target": true}, )" DALVORN_SECOND_DEVICE R"(], "device": {}})", 2, 0,
     "Nothing was sent to the device", 0, 0},
    {"OneDeviceWithTwoInterfaces",
     R"({"interfaces": [{"target": true}, {"vendor": "0x1209", "product": "0x0001",
                          "physical": "target"}], "device": {}})",
     0, -1, nullptr, 0, 0},
};

#undef DALVORN_SECOND_DEVICE

// What the trace shows went wrong with the reports sent: every report but the bootloader-entry
// message went to a handle opened on the device in bootloader mode. Empty when none did.
std::string ReportsOutsideTheBootloader(const std::vector<nlohmann::json>& trace);

// Checks one run against its case: the exit status, what the device flashed (out of `records`
// whole records of the image), the message box and when it came, and that no report but the
// entry message reached the device outside its bootloader. Empty when all hold.
std::string CheckRightDeviceRun(const RightDeviceCase& c, const std::vector<nlohmann::json>& trace,
                                int exitCode, std::size_t flashedBytes, std::size_t records);

// Runs the case through `run`, clicked once loaded, with an image of 10 whole records, and
// checks it as CheckRightDeviceRun does.
std::string RunRightDeviceCase(const RightDeviceCase& c, const Runner& run);

}  // namespace dalvorn::testing

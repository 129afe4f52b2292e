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

// Another device of the kind plugged in while the device is away, in its mode (its product ID),
// at a time, and where in the enumeration order.
#define DALVORN_NEWCOMER(product, ms)                                          \
  R"({"vendor": "0x1209", "product": ")" product R"(", "plugged_at_ms": )" #ms \
  R"(, "strings": {"serial": "0043"}})"
#define DALVORN_BEFORE(newcomer, device) \
  R"({"interfaces": [)" newcomer R"(, {"target": true}], "device": )" device "}"
#define DALVORN_AFTER(newcomer, device) \
  R"({"interfaces": [{"target": true}, )" newcomer R"(], "device": )" device "}"
#define DALVORN_NO_SERIAL R"({"manufacturer": "Dalvorn", "product": "Widget"})"

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
    // The device's interface that can take the firmware, and the device noted at the click:
    // only it is switched, sent data and judged, whatever else of its kind arrives meanwhile.
    {"ABootloaderArrivesBeforeItDuringTheSwitch",
     DALVORN_BEFORE(DALVORN_NEWCOMER("0x0002", 50), "{}"), 1, 0,
     "Another device of this kind was connected during the update. Nothing was written", 0, 0},
    {"ABootloaderArrivesAfterItDuringTheSwitch",
     DALVORN_AFTER(DALVORN_NEWCOMER("0x0002", 50), "{}"), 1, 0,
     "Another device of this kind was connected during the update. Nothing was written", 0, 0},
    {"AnApplicationArrivesBeforeItDuringTheSwitch",
     DALVORN_BEFORE(DALVORN_NEWCOMER("0x0001", 50), "{}"), 1, 0,
     "Another device of this kind was connected", 0, 0},
    {"AnApplicationArrivesAfterItDuringTheSwitch",
     DALVORN_AFTER(DALVORN_NEWCOMER("0x0001", 50), "{}"), 1, 0,
     "Another device of this kind was connected", 0, 0},
    {"AnApplicationArrivesDuringTheRestart",
     DALVORN_AFTER(DALVORN_NEWCOMER("0x0001", 50000),
                   R"({"on_restart": {"back_after_ms": 100000}})"),
     1, -1, "cannot tell whether the device restarted", 0, 0},
    {"KnownByItsSerialWhereTheSystemGivesNoLocation",
     DALVORN_BEFORE(DALVORN_NEWCOMER("0x0002", 50), R"({"location_fails": true})"), 1, 0,
     "Another device of this kind was connected", 0, 0},
    {"AloneWhereNothingTellsItApart",
     R"({"device": {"location_fails": true, "app": {"strings": )" DALVORN_NO_SERIAL R"(},
                    "boot": {"strings": )" DALVORN_NO_SERIAL R"(}}})",
     0, -1, nullptr, 0, 0},
    {"AnotherWithALocationWhereTheDeviceHasNone",
     DALVORN_AFTER(DALVORN_NEWCOMER("0x0002", 50),
                   R"({"location_fails": true, "app": {"strings": )" DALVORN_NO_SERIAL R"(},
                       "boot": {"strings": )" DALVORN_NO_SERIAL R"(}})"),
     1, 0, "Another device of this kind was connected", 0, 0},
    {"TwoAtOnceWhereNothingTellsThemApart",
     R"({"interfaces": [{"target": true}, {"vendor": "0x1209", "product": "0x0002",
                         "plugged_at_ms": 50, "location_fails": true}],
         "device": {"location_fails": true, "on_boot_entry": {"leave_after_ms": 500},
                    "app": {"strings": )" DALVORN_NO_SERIAL R"(}}})",
     1, 0, "Another device of this kind was connected", 0, 0},
    {"BootloaderReportsOf2Bytes", R"({"device": {"boot": {"report_length": 2}}})", 1, 0,
     "takes reports of 2 bytes, too short for the firmware's 40-byte blocks. Nothing was written.",
     0, 0},
    {"BootloaderReportsOf33Bytes", R"({"device": {"boot": {"report_length": 33}}})", 1, 0,
     "takes reports of 33 bytes", 0, 0},
    {"BootloaderReportsOf40Bytes", R"({"device": {"boot": {"report_length": 40}}})", 1, 0,
     "takes reports of 40 bytes", 0, 0},
    {"BootloaderReportsOf41Bytes", R"({"device": {"boot": {"report_length": 41}}})", 0, -1, nullptr,
     0, 0},
    {"BootloaderReportsOf65Bytes", R"({"device": {"boot": {"report_length": 65}}})", 0, -1, nullptr,
     0, 0},
    {"ApplicationReportsOf33BytesStillSwitch", R"({"device": {"app": {"report_length": 33}}})", 0,
     -1, nullptr, 0, 0},
    {"ApplicationReportsOf3Bytes", R"({"device": {"app": {"report_length": 3}}})", 2, 0,
     "takes reports of 3 bytes, too short for the message that switches it", 0, 0},
    {"InItsBootloaderAtTheClickWithReportsOf33Bytes",
     R"({"device": {"mode": "boot", "boot": {"report_length": 33}}})", 2, 0,
     "too short for the firmware's 40-byte blocks. Nothing was sent", 0, 0},
    {"FirstInterfaceWithoutFeatureReports",
     R"({"interfaces": [{"vendor": "0x1209", "product": "0x0001", "physical": "target"},
                        {"target": true}], "device": {}})",
     0, -1, nullptr, 0, 0},
};

#undef DALVORN_SECOND_DEVICE
#undef DALVORN_NEWCOMER
#undef DALVORN_BEFORE
#undef DALVORN_AFTER
#undef DALVORN_NO_SERIAL

// What the trace shows went wrong with the reports sent: every report went to the emulated
// device itself, and every one but the bootloader-entry message to a handle opened on it in
// bootloader mode. Empty when none did.
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

// The host and device that the emulated platform plays, as read from a scenario file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_codec.h"

namespace dalvorn::emulator {

// The UTF-16LE bytes a string query gives, exactly as the device gives them; no value when
// the query fails.
using DeviceString = std::optional<std::vector<std::uint8_t>>;

struct DeviceStrings {
  DeviceString manufacturer;
  DeviceString product;
  DeviceString serial;
};

// One of the host's other HID interfaces.
struct PlainInterface {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::uint16_t version = 0;
  DeviceStrings strings;
  std::uint16_t reportLength = 0;
  bool openable = true;
  bool vanishes = false;
  // The physical device it belongs to; none: a device of its own. TargetPhysical makes it a
  // second interface of the emulated device, listed only while the device is present.
  std::optional<std::string> physical;
  // The system cannot tell its physical device ("physical": null): the property query fails.
  bool physicalQueryFails = false;
  // The system gives no location for it (as for a device with no USB parent).
  bool locationFails = false;
  // When it is plugged in (absent before) and unplugged (absent from then on); none: always.
  std::optional<std::int64_t> pluggedAtMs;
  std::optional<std::int64_t> unpluggedAtMs;
};

// The `physical` value of the emulated device's own interfaces.
inline constexpr const char* TargetPhysical = "target";

enum class DeviceMode { App, Boot };

// What the device shows in one of its modes.
struct ModeIdentity {
  std::uint16_t version = 0;
  std::uint16_t reportLength = 0;
  DeviceStrings strings;
};

// Fields of a ModeIdentity that replace the ones it has.
struct ModeOverrides {
  std::optional<std::uint16_t> version;
  std::optional<std::uint16_t> reportLength;
  std::optional<DeviceStrings> strings;
};
ModeIdentity Overlay(const ModeIdentity& base, const ModeOverrides& overrides);

enum class ComeBackAs { App, Boot, Never };

// How the device leaves and comes back after a bootloader entry or a restart.
struct Reappearance {
  std::int64_t leaveAfterMs = 0;
  std::int64_t backAfterMs = 0;
  ComeBackAs as = ComeBackAs::Boot;
};

struct DeviceScenario {
  bool present = true;
  DeviceMode mode = DeviceMode::App;
  ModeIdentity app;
  ModeIdentity boot;
  std::array<std::uint8_t, 2> status = {0, 1};
  bool statusReadFails = false;
  std::uint32_t refuseBlock = 0;  // 1-based; 0 refuses none
  // The 1-based data block during whose send the device is unplugged: the send fails with the
  // device gone, and it never comes back. 0: never.
  std::uint32_t unplugAtBlock = 0;
  Reappearance onBootEntry{0, 300, ComeBackAs::Boot};
  Reappearance onRestart{0, 800, ComeBackAs::App};
  bool capsFail = false;
  bool overlappedOpenFails = false;
  // The bootloader-entry message is taken but its send fails (the device resets before it
  // answers, as a real one may).
  bool bootEntryFails = false;
  std::optional<ModeOverrides> appAfterUpdate;
  // The system gives no location for it (as for a device with no USB parent).
  bool locationFails = false;
  // When it is plugged in, in `mode` (absent before), and unplugged for good (absent from then
  // on, wherever its timeline was); none: present from the start, never unplugged.
  std::optional<std::int64_t> pluggedAtMs;
  std::optional<std::int64_t> unpluggedAtMs;

  DeviceScenario();
};

// The host's power service, as the update's power guard sees it.
struct PowerScenario {
  bool onBattery = false;
  std::optional<std::uint8_t> percentage = 100;  // none: the charge cannot be read
  bool holdRefused = false;                      // the system refuses to hold off sleep
};

// A change the host makes to a file in the program folder at a virtual time while the window
// idles, as a person copying or deleting the firmware image does; the system then tells the
// window that its folder changed.
struct FolderChange {
  std::int64_t atMs = 0;
  std::string name;  // the file in the program folder, a bare name
  std::optional<std::string>
      copyFrom;  // copied over it from this file of the folder; none: removed
};

struct Scenario {
  std::vector<PlainInterface> interfaces;  // the plain interfaces in enumeration order
  std::size_t devicePosition = 0;          // the device's place among them (size(): last)
  DeviceScenario device;
  PowerScenario power;
  std::vector<FolderChange> folderChanges;  // in the order of their times
  // Test hook: hand out the lowest free handle value again instead of never reusing one.
  bool reuseHandles = false;
};

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throw ScenarioError naming the field that is wrong.
Scenario ParseScenario(std::string_view jsonText);
Scenario LoadScenarioFile(const std::string& path);

// One device in application mode that switches, asks for unlock, takes every block and comes
// back in application mode with a higher version.
Scenario BuiltInScenario();

}  // namespace dalvorn::emulator

// The emulated device: its two modes, its timeline of leaving and coming back, its status
// report, unlock and flash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "scenario.h"

namespace dalvorn::emulator {

// Something the device did by itself, at time `t`.
struct DeviceEvent {
  enum class Kind { Left, Arrived, Unlocked };
  std::int64_t t = 0;
  Kind kind = Kind::Left;
  DeviceMode mode = DeviceMode::App;  // for Arrived
};

class EmulatedDevice {
 public:
  explicit EmulatedDevice(const DeviceScenario& scenario);

  // Runs the timeline up to `now`: leaving and arriving that are due happen, in order, each
  // at its own time. Call before every look at the device and after every pause.
  void AdvanceTo(std::int64_t now);
  // The events since the last call, oldest first.
  std::vector<DeviceEvent> TakeEvents();

  // Whether the host can see the device now, and as what.
  bool Present() const { return present_; }
  DeviceMode Mode() const { return mode_; }
  std::uint16_t ProductId() const;
  std::uint16_t Version() const { return Identity().version; }
  std::uint16_t ReportLength() const { return Identity().reportLength; }
  const DeviceStrings& Strings() const { return Identity().strings; }
  // Changes at every arrival: handles opened to an earlier appearance are dead.
  std::uint64_t Appearance() const { return appearance_; }

  bool CapsFail() const { return scenario_.capsFail; }
  bool OverlappedOpenFails() const { return scenario_.overlappedOpenFails; }

  // Feature reports on the present appearance; results as the platform returns them.
  std::int32_t SetFeature(const std::uint8_t* buffer, std::uint32_t length, std::int64_t now);
  std::int32_t GetFeature(std::uint8_t* buffer, std::uint32_t length);

  // The host opened or closed a handle to the present appearance. In bootloader mode the
  // device restarts once the last handle is closed after a status read.
  void HandleOpened();
  void HandleClosed(std::int64_t now);

  const std::vector<std::uint8_t>& Flash() const { return flash_; }
  std::size_t BlocksTaken() const { return blocksTaken_; }
  bool Unlocked() const { return unlocked_; }

 private:
  struct Departure {
    std::int64_t leaveAt;
    std::int64_t backAt;
    ComeBackAs as;
    bool left = false;
  };

  const ModeIdentity& Identity() const;
  void Depart(const Reappearance& how, std::int64_t now);
  // The earliest change of the timeline due at or before `now`, applied; false when none is.
  bool ApplyNextChange(std::int64_t now);
  void Arrive(std::int64_t t, DeviceMode mode);

  DeviceScenario scenario_;
  ModeIdentity updatedApp_;
  bool present_;
  DeviceMode mode_;
  std::uint64_t appearance_ = 1;
  std::optional<Departure> departure_;
  // The scenario's plugging in and unplugging, while still to come.
  std::optional<std::int64_t> plugAt_;
  std::optional<std::int64_t> unplugAt_;
  std::vector<DeviceEvent> events_;
  int openHandles_ = 0;
  bool statusRead_ = false;
  bool unlocked_ = false;
  std::uint32_t blocksReceived_ = 0;
  std::size_t blocksTaken_ = 0;
  std::vector<std::uint8_t> flash_;
};

}  // namespace dalvorn::emulator

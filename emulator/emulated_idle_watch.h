// What the emulated host tells the idle window: one notification for each interface that the
// scenario's timeline plugs in or unplugs, and one for each change it makes to the program
// folder (after making it), each at its time on the emulation's clock; and the window's quiet
// timer on the same clock. Nothing moves on its own: the runner lets time pass idle with Idle,
// and what falls due meanwhile is told in the order of its time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "emulation_clock.h"
#include "scenario.h"
#include "ui/idle_watch.h"

namespace dalvorn::emulator {

// Something the host tells the window at a time: a HID interface arrived or left, or the
// program folder changed (`folderChange` indexes Scenario::folderChanges).
struct HostNotification {
  std::int64_t atMs = 0;
  std::optional<std::size_t> folderChange;
};

// The notifications the scenario's timeline sends, in the order of their times: one for each
// plugging in and each unplugging of the device and of each plain interface (the device's other
// interfaces come and go with it), and one for each change of the program folder.
std::vector<HostNotification> HostNotifications(const Scenario& scenario);

class EmulatedIdleWatch final : public IdleWatch {
 public:
  EmulatedIdleWatch(const Scenario& scenario, EmulationClock& clock, std::string programFolder);

  // Tells only what falls due after the start: what happened before, the window's own look
  // at its load has seen.
  void Start(IdleWatchEvents& events, const std::string& folder) override;
  void Stop() override;
  void StartQuietTimer(std::uint32_t milliseconds) override;

  // Lets `milliseconds` pass idle: each notification and the quiet timer are told as they fall
  // due, the clock moved to the time of each first. In real time the clock follows the wall
  // clock, and `wait` is called over and over meanwhile (it pumps the window's events and
  // returns soon).
  void Idle(std::int64_t milliseconds, const std::function<void()>& wait = {});

  bool Started() const { return events_ != nullptr; }

 private:
  // The time of the next thing due (a notification or the timer), if any.
  std::optional<std::int64_t> NextDueMs() const;
  // Tells everything due at or before the clock's time now.
  void TellDue();
  void ChangeFolder(const FolderChange& change);

  const Scenario& scenario_;
  EmulationClock& clock_;
  std::string programFolder_;
  std::vector<HostNotification> timeline_;
  std::size_t next_ = 0;  // the first notification of the timeline not yet told or passed
  IdleWatchEvents* events_ = nullptr;
  std::optional<std::int64_t> timerDueMs_;
};

}  // namespace dalvorn::emulator

#include "emulated_idle_watch.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <utility>

#include "runner_options.h"

namespace dalvorn::emulator {

namespace {

using Time = std::optional<std::int64_t>;

// The later of two plug-in times, the earlier of two unplug times; none stands for "always".
Time Later(Time a, Time b) {
  return !a ? b : !b ? a : std::max(*a, *b);
}
Time Earlier(Time a, Time b) {
  return !a ? b : !b ? a : std::min(*a, *b);
}

// One interface present from `plugged` until `unplugged`: a notification at each end that is on
// the timeline, none when it is never present.
void AddInterface(Time plugged, Time unplugged, std::vector<HostNotification>& timeline) {
  if (plugged && unplugged && *unplugged <= *plugged) return;
  if (plugged) timeline.push_back({*plugged, std::nullopt});
  if (unplugged) timeline.push_back({*unplugged, std::nullopt});
}

}  // namespace

std::vector<HostNotification> HostNotifications(const Scenario& scenario) {
  std::vector<HostNotification> timeline;
  const DeviceScenario& device = scenario.device;
  if (device.present) AddInterface(device.pluggedAtMs, device.unpluggedAtMs, timeline);
  for (const PlainInterface& plain : scenario.interfaces) {
    if (plain.physical != TargetPhysical) {
      AddInterface(plain.pluggedAtMs, plain.unpluggedAtMs, timeline);
    } else if (device.present) {
      // The device's other interfaces come and go with it, within their own times.
      AddInterface(Later(plain.pluggedAtMs, device.pluggedAtMs),
                   Earlier(plain.unpluggedAtMs, device.unpluggedAtMs), timeline);
    }
  }
  for (std::size_t i = 0; i < scenario.folderChanges.size(); ++i) {
    timeline.push_back({scenario.folderChanges[i].atMs, i});
  }
  std::stable_sort(
      timeline.begin(), timeline.end(),
      [](const HostNotification& a, const HostNotification& b) { return a.atMs < b.atMs; });
  return timeline;
}

EmulatedIdleWatch::EmulatedIdleWatch(const Scenario& scenario, EmulationClock& clock,
                                     std::string programFolder)
    : scenario_(scenario),
      clock_(clock),
      programFolder_(std::move(programFolder)),
      timeline_(HostNotifications(scenario)) {}

void EmulatedIdleWatch::Start(IdleWatchEvents& events, const std::string& /*folder*/) {
  events_ = &events;
  const std::int64_t now = clock_.NowMs();
  while (next_ < timeline_.size() && timeline_[next_].atMs <= now) {
    // Passed unseen by the window, but the host's own changes to its folder are made.
    if (timeline_[next_].folderChange) {
      ChangeFolder(scenario_.folderChanges[*timeline_[next_].folderChange]);
    }
    ++next_;
  }
}

void EmulatedIdleWatch::Stop() {
  events_ = nullptr;
  timerDueMs_.reset();
}

void EmulatedIdleWatch::StartQuietTimer(std::uint32_t milliseconds) {
  if (events_ != nullptr) timerDueMs_ = clock_.NowMs() + milliseconds;
}

std::optional<std::int64_t> EmulatedIdleWatch::NextDueMs() const {
  std::optional<std::int64_t> due = timerDueMs_;
  if (next_ < timeline_.size() && (!due || timeline_[next_].atMs < *due)) {
    due = timeline_[next_].atMs;
  }
  return due;
}

void EmulatedIdleWatch::TellDue() {
  const std::int64_t now = clock_.NowMs();
  // A notification before the timer that falls due at the same time: it starts it again.
  while (events_ != nullptr && next_ < timeline_.size() && timeline_[next_].atMs <= now) {
    const HostNotification& notification = timeline_[next_++];
    if (notification.folderChange) {
      ChangeFolder(scenario_.folderChanges[*notification.folderChange]);
      events_->ProgramFolderChanged();
    } else {
      events_->DeviceInterfaceChanged();
    }
  }
  if (events_ != nullptr && timerDueMs_ && *timerDueMs_ <= now) {
    timerDueMs_.reset();
    events_->QuietTimeOver();
  }
}

void EmulatedIdleWatch::Idle(std::int64_t milliseconds, const std::function<void()>& wait) {
  const std::int64_t end = clock_.NowMs() + milliseconds;
  for (;;) {
    TellDue();
    const std::optional<std::int64_t> due = events_ != nullptr ? NextDueMs() : std::nullopt;
    const std::int64_t until = due && *due < end ? *due : end;
    if (clock_.NowMs() >= end && (!due || *due > end)) break;
    if (!clock_.RealTime()) {
      clock_.SleepUntilUs(until * 1000);
      if (until >= end && (!due || *due > end)) break;
      continue;
    }
    if (wait) wait();
    // A short pause at most, so that the window stays live while it waits.
    clock_.SleepUntilUs(std::min(until, clock_.NowMs() + 10) * 1000);
  }
}

void EmulatedIdleWatch::ChangeFolder(const FolderChange& change) {
  const std::filesystem::path folder = PathFromUtf8(programFolder_);
  std::error_code error;
  if (change.copyFrom) {
    std::filesystem::copy_file(folder / PathFromUtf8(*change.copyFrom),
                               folder / PathFromUtf8(change.name),
                               std::filesystem::copy_options::overwrite_existing, error);
  } else {
    std::filesystem::remove(folder / PathFromUtf8(change.name), error);
  }
  if (error) {
    std::cerr << "dalvorn-firmware-update-emulated: program_folder: cannot "
              << (change.copyFrom ? "copy " + *change.copyFrom + " to " : "remove ") << change.name
              << " (" << error.message() << ")\n";
  }
}

}  // namespace dalvorn::emulator

// The runner's bound on one run: an update that waits for ever (a device that never comes back
// keeps it searching, a trace line every few milliseconds of the clock) is ended once the run's
// clock reaches RunTimeLimitMs: the window is closed at the next event pump, as the close box
// does, so that the program unloads and the trace ends as it always does, and the runner then
// ends with RunTimeLimitExitStatus (runner_options.h).
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "emulation_clock.h"
#include "forwarding_view.h"

namespace dalvorn::emulator {

// Three hours: more than the update of the largest image (16 MiB, about 2.3 hours of data
// blocks) with every wait it makes.
inline constexpr std::int64_t RunTimeLimitMs = 3 * 60 * 60 * 1000;

class TimeLimitedView final : public ForwardingView {
 public:
  TimeLimitedView(WindowView& inner, const EmulationClock& clock, std::int64_t limitMs)
      : ForwardingView(inner), clock_(clock), limitMs_(limitMs) {}

  // How the window is closed when the limit is reached.
  void SetClose(std::function<void()> close) { close_ = std::move(close); }

  // The inner pump first (and its trace line, and what the runner does at that pump), then the
  // close, once, when the clock has reached the limit.
  void PumpEvents() override {
    Inner().PumpEvents();
    if (reached_ || clock_.NowMs() < limitMs_ || !close_) return;
    reached_ = true;
    close_();
  }

  // Whether the run was closed for its time.
  bool Reached() const { return reached_; }

 private:
  const EmulationClock& clock_;
  std::int64_t limitMs_;
  std::function<void()> close_;
  bool reached_ = false;
};

}  // namespace dalvorn::emulator

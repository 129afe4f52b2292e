// The emulation's clock in milliseconds: virtual by default, or following the wall clock.
#pragma once

#include <chrono>
#include <cstdint>

#include "trace/trace_clock.h"

namespace dalvorn::emulator {

class EmulationClock final : public TraceClock {
 public:
  // Virtual: starts at 0 and advances only by Sleep. Real time: Sleep really waits and the
  // clock counts the wall-clock milliseconds since construction.
  explicit EmulationClock(bool realTime = false);

  std::int64_t NowMs() const override;
  void Sleep(std::uint32_t milliseconds);
  // The same clock in microseconds, and a pause until it reaches `deadline`: virtual time
  // moves to the deadline, real time waits for it and never returns earlier.
  std::int64_t NowUs() const;
  void SleepUntilUs(std::int64_t deadline);
  bool RealTime() const { return realTime_; }

 private:
  bool realTime_;
  std::int64_t virtualNowUs_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace dalvorn::emulator

#include "emulation_clock.h"

#include <thread>

namespace dalvorn::emulator {

EmulationClock::EmulationClock(bool realTime)
    : realTime_(realTime), start_(std::chrono::steady_clock::now()) {}

std::int64_t EmulationClock::NowMs() const {
  return NowUs() / 1000;
}

std::int64_t EmulationClock::NowUs() const {
  if (!realTime_) return virtualNowUs_;
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
}

void EmulationClock::SleepUntilUs(std::int64_t deadline) {
  if (realTime_) {
    std::this_thread::sleep_until(start_ + std::chrono::microseconds(deadline));
  } else if (deadline > virtualNowUs_) {
    virtualNowUs_ = deadline;
  }
}

void EmulationClock::Sleep(std::uint32_t milliseconds) {
  if (realTime_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  } else {
    virtualNowUs_ += static_cast<std::int64_t>(milliseconds) * 1000;
  }
}

}  // namespace dalvorn::emulator

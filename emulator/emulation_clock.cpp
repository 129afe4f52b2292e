#include "emulator/emulation_clock.h"

#include <thread>

namespace dalvorn::emulator {

EmulationClock::EmulationClock(bool realTime)
    : realTime_(realTime), start_(std::chrono::steady_clock::now()) {}

std::int64_t EmulationClock::NowMs() const {
  if (!realTime_) return virtualNow_;
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

void EmulationClock::Sleep(std::uint32_t milliseconds) {
  if (realTime_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  } else {
    virtualNow_ += milliseconds;
  }
}

}  // namespace dalvorn::emulator

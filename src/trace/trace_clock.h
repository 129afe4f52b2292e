// The clock a trace is written with: milliseconds since its start.
#pragma once

#include <chrono>
#include <cstdint>

namespace dalvorn {

class TraceClock {
 public:
  virtual ~TraceClock() = default;
  virtual std::int64_t NowMs() const = 0;
};

// The wall clock's steady time since construction, for the real program.
class SteadyTraceClock final : public TraceClock {
 public:
  SteadyTraceClock() : start_(std::chrono::steady_clock::now()) {}
  std::int64_t NowMs() const override {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace dalvorn

// What a person sees of the transfer beyond the bar: the time left in the status line and the
// share sent in the taskbar or the dock, each changed no more often than a person can follow.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace dalvorn {

// The least time between two changes of the time left in the status line.
inline constexpr std::int64_t TimeLeftChangeMicroseconds = 1'000'000;
// The least time between two progress values given to the taskbar before the last one.
inline constexpr std::int64_t TaskbarProgressMicroseconds = 500'000;
// How many of the last block periods the time left is measured on (about a second).
inline constexpr std::size_t MeasuredBlocks = 50;

// The time left as the status line says it: 0 for less than a minute, else whole minutes.
std::int64_t TimeLeftMinutes(std::int64_t seconds);

class TransferProgress {
 public:
  explicit TransferProgress(std::int64_t blockCount) : blockCount_(blockCount) {}

  struct Step {
    std::optional<std::int64_t> secondsLeft;  // a new time left for the status line
    std::optional<int> percent;               // a new value for the taskbar, 0 to 100
  };

  // Block `blocksSent` (counted from 1) was sent, its send ending at `nowUs` on the steady
  // clock. The time left is the blocks still to send times the mean period of the last blocks;
  // it changes at most once a TimeLeftChangeMicroseconds, and never upward by one minute only.
  // The taskbar gets a higher share at most once a TaskbarProgressMicroseconds, and 100 at
  // the last block.
  Step BlockSent(std::int64_t blocksSent, std::int64_t nowUs);

 private:
  std::optional<std::int64_t> TimeLeft(std::int64_t blocksSent, std::int64_t nowUs);
  std::optional<int> Percent(std::int64_t blocksSent, std::int64_t nowUs);

  std::int64_t blockCount_;
  std::array<std::int64_t, MeasuredBlocks + 1> sends_{};  // the last send times, a ring
  std::size_t measured_ = 0;                              // send times held in the ring
  std::size_t next_ = 0;                                  // where the next one goes
  std::optional<std::int64_t> shownMinutes_;
  std::int64_t shownAtUs_ = 0;
  int percent_ = 0;  // the taskbar starts at 0 with the transfer
  std::int64_t percentAtUs_ = 0;
};

}  // namespace dalvorn

#include "update/transfer_progress.h"

namespace dalvorn {
namespace {

// Periods measured before the first time left is told: the first blocks say little.
constexpr std::size_t LeastPeriods = 10;

}  // namespace

std::int64_t TimeLeftMinutes(std::int64_t seconds) {
  if (seconds < 60) return 0;
  return (seconds + 30) / 60;
}

TransferProgress::Step TransferProgress::BlockSent(std::int64_t blocksSent, std::int64_t nowUs) {
  sends_[next_] = nowUs;
  next_ = (next_ + 1) % sends_.size();
  if (measured_ < sends_.size()) ++measured_;
  return Step{TimeLeft(blocksSent, nowUs), Percent(blocksSent, nowUs)};
}

std::optional<std::int64_t> TransferProgress::TimeLeft(std::int64_t blocksSent,
                                                       std::int64_t nowUs) {
  if (measured_ < LeastPeriods + 1) return std::nullopt;
  if (shownMinutes_ && nowUs - shownAtUs_ < TimeLeftChangeMicroseconds) return std::nullopt;
  // The oldest send in the ring is the one the next send will overwrite.
  const std::int64_t oldest = sends_[measured_ < sends_.size() ? 0 : next_];
  const auto periods = static_cast<std::int64_t>(measured_ - 1);
  const std::int64_t blocksLeft = blockCount_ > blocksSent ? blockCount_ - blocksSent : 0;
  // Microseconds left, as blocks left times the mean period, in whole seconds.
  const std::int64_t seconds = blocksLeft * ((nowUs - oldest) / periods) / 1'000'000;
  const std::int64_t minutes = TimeLeftMinutes(seconds);
  if (shownMinutes_) {
    if (minutes == *shownMinutes_) return std::nullopt;
    // A minute more is the jitter of the measure, not news.
    if (minutes == *shownMinutes_ + 1) return std::nullopt;
  }
  shownMinutes_ = minutes;
  shownAtUs_ = nowUs;
  return seconds;
}

std::optional<int> TransferProgress::Percent(std::int64_t blocksSent, std::int64_t nowUs) {
  if (blockCount_ <= 0) return std::nullopt;
  const int percent = static_cast<int>(blocksSent * 100 / blockCount_);
  if (percent <= percent_) return std::nullopt;
  if (percent < 100 && nowUs - percentAtUs_ < TaskbarProgressMicroseconds) {
    return std::nullopt;
  }
  percent_ = percent;
  percentAtUs_ = nowUs;
  return percent;
}

}  // namespace dalvorn

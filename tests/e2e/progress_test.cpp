// An update followed from afar, through the window's own behaviour: see progress_cases.h for the
// table the runners share; and the time left's measure on its own.
#include <gtest/gtest.h>

#include "emulated_host.h"
#include "progress_cases.h"
#include "update/transfer_progress.h"

namespace dalvorn::testing {
namespace {

class Progress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, TellsTheWaitsTheTimeLeftTheTaskbarAndTheEnd) {
  const ProgressCase& c = GetParam();
  EmulatedHost host(c.scenario, c.imageBytes, PowerService::Emulated);
  host.Load();
  if (c.closeAtPump > 0) host.CloseAtPump(c.closeAtPump);
  host.Click();
  const int exitCode = host.Finish();
  EXPECT_EQ(CheckProgressRun(c, host.Trace(), exitCode), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Progress, ::testing::ValuesIn(ProgressCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct PaceCase {
  const char* name;
  std::int64_t firstUs, thenUs;    // the block period for the first half, then for the rest
  std::vector<std::int64_t> said;  // the minutes told, in order
};

TEST(TimeLeft, FollowsThePaceMeasuredAndNeverRisesByAMinuteOnly) {
  // 6000 blocks: five minutes at 50 ms, then the rest at a slower pace.
  const PaceCase cases[] = {
      {"Steady", 50000, 50000, {5, 4, 3, 2, 1, 0}},
      {"SlightlySlower", 50000, 60000, {5, 4, 3, 2, 1, 0}},  // 2.5 to 3 minutes: not told
      {"TwiceAsSlow", 50000, 100000, {5, 4, 3, 5, 4, 3, 2, 1, 0}},
  };
  for (const PaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    TransferProgress progress(6000);
    std::vector<std::int64_t> said;
    std::int64_t now = 0, lastUs = -TimeLeftChangeMicroseconds;
    for (std::int64_t block = 1; block <= 6000; ++block) {
      now += block <= 3000 ? c.firstUs : c.thenUs;
      const auto step = progress.BlockSent(block, now);
      if (!step.secondsLeft) continue;
      said.push_back(TimeLeftMinutes(*step.secondsLeft));
      EXPECT_GE(now - lastUs, TimeLeftChangeMicroseconds);
      lastUs = now;
    }
    EXPECT_EQ(said, c.said);
  }
}

}  // namespace
}  // namespace dalvorn::testing

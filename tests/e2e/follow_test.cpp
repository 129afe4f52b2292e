// The window following the host while it idles, through its own behaviour: see follow_cases.h
// for the table the runners share.
#include <gtest/gtest.h>

#include <fstream>

#include "emulated_host.h"
#include "follow_cases.h"

namespace dalvorn::testing {
namespace {

class Follow : public ::testing::TestWithParam<FollowCase> {};

TEST_P(Follow, SaysWhatTheClickWillDoAndDoesIt) {
  const FollowCase& c = GetParam();
  EmulatedHost host(c.scenario, c.imageAtLoad ? 400 : -1);
  if (!c.imageAtLoad) {
    std::ofstream staged(host.folder / "staged.bin", std::ios::binary);
    for (std::size_t i = 0; i < 400; ++i) staged.put(static_cast<char>(ImageByte(i)));
  }
  host.Load();
  host.Idle(c.idleMs);
  host.Click();
  const int exitCode = host.Finish();
  EXPECT_EQ(CheckFollowRun(c, host.Trace(), exitCode, host.platform.Device().Flash().size(), 10),
            "");
  EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, Follow, ::testing::ValuesIn(FollowCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace dalvorn::testing

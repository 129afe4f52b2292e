// The right device at the right moment, through the window's own behaviour: see
// right_device_cases.h for the table the runners share.
#include <gtest/gtest.h>

#include "device/device_codes.h"
#include "emulated_host.h"
#include "right_device_cases.h"

namespace dalvorn::testing {
namespace {

class RightDevice : public ::testing::TestWithParam<RightDeviceCase> {};

TEST_P(RightDevice, GetsTheFirmwareOnlyInItsBootloaderAndIsJudgedAfterItsRestart) {
  const RightDeviceCase& c = GetParam();
  EmulatedHost host(c.scenario, 4000);
  host.Load();
  host.Idle(c.idleMs);
  host.Click();
  const int exitCode = host.Finish();
  EXPECT_EQ(
      CheckRightDeviceRun(c, host.Trace(), exitCode, host.platform.Device().Flash().size(), 100),
      "");
  EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, RightDevice, ::testing::ValuesIn(RightDeviceCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(RightDeviceWait, ADeviceStillInApplicationModeIsLetGoAndSearchedForAgain) {
  // It stays 700 ms after the entry message: the searches that find it in application mode
  // close its handles at once, and the status is read from the bootloader.
  EmulatedHost host(
      R"({"device": {"on_boot_entry": {"leave_after_ms": 700, "back_after_ms": 300}}})", 80);
  host.Load();
  host.Click();
  EXPECT_EQ(host.Finish(), 0);
  int appSearchesAfterEntry = 0;
  bool entered = false;
  for (const json& line : host.Trace()) {
    if (line["ev"] != "call") continue;
    if (line["fn"] == "HidD_SetFeature") entered = true;
    if (entered && line["fn"] == "HidD_GetAttributes" && line["product"] == AppProductID) {
      ++appSearchesAfterEntry;
    }
    if (line["fn"] == "HidD_GetFeature") break;
  }
  EXPECT_GE(appSearchesAfterEntry, 6);
  EXPECT_EQ(ReportsOutsideTheBootloader(host.Trace()), "");
}

}  // namespace
}  // namespace dalvorn::testing

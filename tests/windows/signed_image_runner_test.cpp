// The maker's signature in whole runs of the emulated runner over the native window: the same
// table as the Qt runner's (tests/signature/signed_run_cases.h), checked by CNG.
#include <gtest/gtest.h>

#include "../signature/signed_run_cases.h"
#include "win32/win32_runner.h"

namespace dalvorn::emulator {
namespace {

namespace sig = dalvorn::testing::signature;

class Win32SignedImageRun : public ::testing::TestWithParam<sig::SignedRunCase> {};

TEST_P(Win32SignedImageRun, TakesOnlyAnImageTheMakerSignedAndRefusesOthersBeforeAnyReport) {
  EXPECT_EQ(sig::RunSignedCase(GetParam(), RunEmulatedWin32), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Win32SignedImageRun, ::testing::ValuesIn(sig::SignedRunCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace dalvorn::emulator

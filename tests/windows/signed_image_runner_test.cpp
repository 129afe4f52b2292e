// The maker's signature in whole runs of the emulated runner over the native window: the same
// table as the Qt runner's (tests/signature/signed_run_cases.h), checked by CNG.
#include <gtest/gtest.h>

#include <process.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../signature/signed_run_cases.h"
#include "win32/win32_runner.h"

namespace dalvorn::emulator {
namespace {

namespace fs = std::filesystem;
namespace sig = dalvorn::testing::signature;

class Win32SignedImageRun : public ::testing::TestWithParam<sig::SignedRunCase> {
 protected:
  void SetUp() override {
    static int counter = 0;
    folder_ = fs::temp_directory_path() / ("dalvorn_win32_signed_" + std::to_string(::_getpid()) +
                                           "_" + std::to_string(++counter));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
};

TEST_P(Win32SignedImageRun, TakesOnlyAnImageTheMakerSignedAndRefusesOthersBeforeAnyReport) {
  const sig::SignedRunCase& c = GetParam();
  std::vector<std::string> args = sig::WriteSignedRunFiles(c, folder_);
  const std::string trace = (folder_ / "trace.jsonl").string();
  args.insert(args.end(), {"--click", "--trace", trace});
  RunnerOptions options;
  std::string error;
  ASSERT_TRUE(ParseRunnerOptions(args, ".", options, error)) << error;
  const int exitCode = RunEmulatedWin32(options);

  std::vector<nlohmann::json> lines;
  std::ifstream in(trace);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(nlohmann::json::parse(line));
  }
  EXPECT_EQ(sig::CheckSignedRun(c, lines, exitCode), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Win32SignedImageRun, ::testing::ValuesIn(sig::SignedRunCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dalvorn::emulator

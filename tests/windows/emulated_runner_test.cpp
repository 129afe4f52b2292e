// Whole runs of the emulated runner over the native window, in process, on the virtual clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "emulated_platform.h"
#include "follow_cases.h"
#include "progress_cases.h"
#include "right_device_cases.h"
#include "win32/win32_runner.h"

namespace dalvorn::emulator {
namespace {

using testing::ReadTraceFile;
using testing::ScratchFolder;

bool HasLine(const std::vector<nlohmann::json>& lines, const std::string& ev,
             const std::string& op) {
  for (const auto& l : lines) {
    if (l["ev"] == ev && l.value("op", "") == op) return true;
  }
  return false;
}

struct RunCase {
  const char* name;
  const char* scenario;  // JSON, or nullptr for the built-in one
  bool withImage;
  std::vector<std::string> arguments;
  int exitCode;
  std::size_t flashedBytes;
  bool messageBox;
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.name;
}

class Win32RunnerTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(Win32RunnerTest, RunsTheWholeWindowAndTracesIt) {
  const RunCase& c = GetParam();
  ScratchFolder folder;
  // 10 whole records and a short tail that is never sent.
  std::string image(410, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 1);
  if (c.withImage) std::ofstream(folder.File("Varnholt.bin"), std::ios::binary) << image;
  std::vector<std::string> arguments = {"--program-dir", folder.Path(), "--trace",
                                        folder.File("trace.jsonl")};
  if (c.scenario != nullptr) {
    std::ofstream(folder.File("scenario.json")) << c.scenario;
    arguments.push_back(folder.File("scenario.json"));
  }
  arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
  RunnerOptions options;
  std::string error;
  ASSERT_TRUE(ParseRunnerOptions(arguments, ".", options, error)) << error;

  EXPECT_EQ(RunEmulatedWin32(options), c.exitCode);

  const std::vector<nlohmann::json> lines = ReadTraceFile(folder.File("trace.jsonl"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back()["ev"], "exit");
  EXPECT_EQ(lines.back()["code"], c.exitCode);
  EXPECT_TRUE(HasLine(lines, "window", "show"));
  EXPECT_TRUE(HasLine(lines, "window", "unload"));
  EXPECT_TRUE(HasLine(lines, "window", "terminate"));
  EXPECT_EQ(HasLine(lines, "window", "message_box"), c.messageBox);
  for (const auto& l : lines) {
    if (l["ev"] != "device" || l["op"] != "flash") continue;
    EXPECT_EQ(l["bytes"], c.flashedBytes);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.data());
    EXPECT_EQ(l["sha256"], Sha256Hex(bytes, c.flashedBytes));
  }
}

const char* const NoDevice = R"({"device": {"present": false}})";
const char* const RefusesBlock3 = R"({"device": {"refuse_block": 3}})";
// Removed while the window idles, and clicked before the quiet time is over: the click's own
// check refuses it.
const char* const ImageRemoved =
    R"({"program_folder": [{"at_ms": 100, "remove": "Varnholt.bin"}]})";

INSTANTIATE_TEST_SUITE_P(
    Runs, Win32RunnerTest,
    ::testing::Values(
        RunCase{"WholeUpdate", nullptr, true, {"--click"}, 0, 400, false},
        RunCase{"NoDeviceClickDoesNothing", NoDevice, true, {"--click"}, 0, 0, false},
        RunCase{"ImageMissing", ImageRemoved, true, {"--idle-ms", "200", "--click"}, 2, 0, true},
        // None at the load: the button takes no click.
        RunCase{"ImageMissingAtTheLoad", nullptr, false, {"--click"}, 0, 0, false},
        RunCase{"ClosedDuringTheTransfer",
                nullptr,
                true,
                {"--click", "--close-at-pump", "3"},
                3,
                0,
                false},
        RunCase{"RefusedBlock", RefusesBlock3, true, {"--click"}, 1, 80, true},
        RunCase{"ClosedAfterLoad", nullptr, true, {"--close-after-load"}, 0, 0, false}),
    [](const auto& instance) { return std::string(instance.param.name); });

class Win32RightDeviceRun : public ::testing::TestWithParam<testing::RightDeviceCase> {};

TEST_P(Win32RightDeviceRun, GetsTheFirmwareOnlyInItsBootloaderAndIsJudgedAfterItsRestart) {
  EXPECT_EQ(testing::RunRightDeviceCase(GetParam(), RunEmulatedWin32), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Win32RightDeviceRun, ::testing::ValuesIn(testing::RightDeviceCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

class Win32FollowRun : public ::testing::TestWithParam<testing::FollowCase> {};

TEST_P(Win32FollowRun, SaysWhatTheClickWillDoAndDoesIt) {
  EXPECT_EQ(testing::RunFollowCase(GetParam(), RunEmulatedWin32), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Win32FollowRun, ::testing::ValuesIn(testing::FollowCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

class Win32ProgressRun : public ::testing::TestWithParam<testing::ProgressCase> {};

TEST_P(Win32ProgressRun, TellsTheWaitsTheTimeLeftTheTaskbarAndTheEnd) {
  EXPECT_EQ(testing::RunProgressCase(GetParam(), RunEmulatedWin32), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Win32ProgressRun, ::testing::ValuesIn(testing::ProgressCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Win32RunnerScreenshotTest, IsThe361By250ClientArea) {
  ScratchFolder folder;
  RunnerOptions options;
  options.programDir = folder.Path();
  options.closeAfterLoad = true;
  options.screenshotPath = folder.File("window.png");
  EXPECT_EQ(RunEmulatedWin32(options), 0);
  std::ifstream png(options.screenshotPath, std::ios::binary);
  std::vector<unsigned char> head(24);
  png.read(reinterpret_cast<char*>(head.data()), 24);
  ASSERT_TRUE(png) << "no screenshot";
  EXPECT_EQ(head[1], 'P');
  const auto big32 = [&](int at) {
    return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
  };
  EXPECT_EQ(big32(16), 361);
  EXPECT_EQ(big32(20), 250);
}

TEST(Win32RunnerScenarioTest, AnUnreadableScenarioIsTheRunnersOwnFailure) {
  ScratchFolder folder;
  std::ofstream(folder.File("bad.json")) << "{ not json";
  RunnerOptions options;
  options.programDir = folder.Path();
  options.scenarioPath = folder.File("bad.json");
  EXPECT_EQ(RunEmulatedWin32(options), ScenarioExitStatus);
}

}  // namespace
}  // namespace dalvorn::emulator

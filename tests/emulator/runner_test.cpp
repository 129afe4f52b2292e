// Whole runs of the emulated runner, in process, on the virtual clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../signature/signed_run_cases.h"
#include "emulated_platform.h"
#include "follow_cases.h"
#include "progress_cases.h"
#include "qt/qt_runner.h"
#include "right_device_cases.h"
#include "ui/qt/qt_application.h"

namespace dalvorn::emulator {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<nlohmann::json>;

QApplication* g_app = nullptr;

int QtRunner(const RunnerOptions& options) {
  return RunEmulated(options, *g_app);
}

using testing::ReadTraceFile;
using testing::ScratchFolder;

std::vector<std::uint8_t> ImageBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::size_t Count(const Lines& lines, const std::function<bool(const nlohmann::json&)>& match) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), match));
}

bool IsCall(const nlohmann::json& l, const char* fn) {
  return l["ev"] == "call" && l["fn"] == fn;
}

std::size_t IndexOf(const Lines& lines, const char* ev, const char* op) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i]["ev"] == ev && lines[i].value("op", "") == op) return i;
  }
  return lines.size();
}

struct RunCase {
  std::string name;
  std::string scenario;  // empty: the built-in one
  long imageSize;        // -1: no image
  std::vector<std::string> options;
  int exitCode;
  std::function<void(const Lines&)> check;
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.name;
}

class EmulatedRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(EmulatedRun, EndsWithTheProgramsStatusAndACompleteTrace) {
  const RunCase& c = GetParam();
  ScratchFolder folder;
  if (c.imageSize >= 0) {
    const auto bytes = ImageBytes(static_cast<std::size_t>(c.imageSize));
    WriteFile(folder.File("Varnholt.bin"), std::string(bytes.begin(), bytes.end()));
  }
  std::vector<std::string> args = c.options;
  if (!c.scenario.empty()) {
    WriteFile(folder.File("scenario.json"), c.scenario);
    args.push_back(folder.File("scenario.json"));
  }
  args.insert(args.end(), {"--program-dir", folder.Path(), "--trace", folder.File("t.jsonl")});
  RunnerOptions options;
  std::string error;
  ASSERT_TRUE(ParseRunnerOptions(args, "/nowhere", options, error)) << error;
  EXPECT_EQ(RunEmulated(options, *g_app), c.exitCode);

  const Lines lines = ReadTraceFile(folder.File("t.jsonl"));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.back(),
            (nlohmann::json{{"t", lines.back()["t"]}, {"ev", "exit"}, {"code", c.exitCode}}));
  EXPECT_EQ(lines[lines.size() - 2]["op"], "flash");
  EXPECT_EQ(lines[0]["op"], "show");
  EXPECT_LT(IndexOf(lines, "window", "unload"), IndexOf(lines, "window", "terminate"));
  EXPECT_EQ(Count(lines, [](const auto& l) { return l.value("op", "") == "unload"; }), 1u);
  std::int64_t last = 0;
  for (const auto& line : lines) {
    EXPECT_GE(line["t"].get<std::int64_t>(), last) << line;
    last = line["t"];
  }
  if (c.check) c.check(lines);
}

const auto kBlocks = [](const Lines& lines) {
  return Count(lines, [](const auto& l) {
    return IsCall(l, "HidD_SetFeature") &&
           l["data"].template get<std::string>().substr(0, 8) != "00b0071d" &&
           l["data"].template get<std::string>().substr(0, 10) != "00554e4c4b";
  });
};

INSTANTIATE_TEST_SUITE_P(
    Table, EmulatedRun,
    ::testing::Values(
        RunCase{
            "BuiltInUpdates",
            "",
            4096,
            {"--click"},
            0,
            [](const Lines& lines) {
              const auto image = ImageBytes(4080);
              EXPECT_EQ(lines[lines.size() - 2]["bytes"], 4080);
              EXPECT_EQ(lines[lines.size() - 2]["sha256"], Sha256Hex(image));
              EXPECT_EQ(Count(lines, [](const auto& l) { return l.value("op", "") == "unlocked"; }),
                        1u);
              EXPECT_LT(IndexOf(lines, "device", "arrived"), IndexOf(lines, "window", "unload"));
            }},
        // Removed while the window idles, and clicked before the quiet time is over: the
        // window still shows it ready, and the click's own check refuses it.
        RunCase{"NoImage",
                R"({"program_folder": [{"at_ms": 100, "remove": "Varnholt.bin"}]})",
                4096,
                {"--idle-ms", "200", "--click"},
                2,
                [](const Lines& lines) {
                  const std::size_t open = IndexOf(lines, "image", "load");
                  ASSERT_LT(open, lines.size());
                  EXPECT_TRUE(lines[open].contains("error"));
                  EXPECT_LT(open, IndexOf(lines, "window", "message_box"));
                  EXPECT_LT(IndexOf(lines, "window", "message_box"),
                            IndexOf(lines, "window", "unload"));
                  EXPECT_EQ(lines[lines.size() - 2]["bytes"], 0);
                }},
        // None at the load: the status line names it, and the button takes no click.
        RunCase{"NoImageAtTheLoad",
                "",
                -1,
                {"--click"},
                0,
                [](const Lines& lines) {
                  const std::size_t status = IndexOf(lines, "window", "status");
                  ASSERT_LT(status, lines.size());
                  EXPECT_EQ(lines[status]["text"].get<std::string>().rfind(
                                "The firmware image \"Varnholt.bin\" cannot be read: ", 0),
                            0u);
                  EXPECT_EQ(lines[status + 1]["op"], "enabled");
                  EXPECT_EQ(lines[status + 1]["value"], false);
                  EXPECT_EQ(IndexOf(lines, "image", "load"), lines.size());
                  EXPECT_EQ(IndexOf(lines, "window", "message_box"), lines.size());
                }},
        RunCase{"NoDeviceClickDoesNothing",
                R"({"device": {"present": false}})",
                400,
                {"--click"},
                0,
                [](const Lines& lines) {
                  EXPECT_EQ(
                      Count(lines, [](const auto& l) { return IsCall(l, "HidD_SetFeature"); }), 0u);
                }},
        RunCase{"RefusedBlock",
                R"({"device": {"refuse_block": 3}})",
                400,
                {"--click"},
                1,
                [](const Lines& lines) {
                  EXPECT_EQ(lines[lines.size() - 2]["bytes"], 80);
                  EXPECT_EQ(kBlocks(lines), 3u);
                }},
        RunCase{"BackInBootloader",
                R"({"device": {"on_restart": {"as": "boot"}}})",
                400,
                {"--click"},
                1,
                nullptr},
        RunCase{"ClosedAtTheFirstPump",
                "",
                400,
                {"--click", "--close-at-pump", "1"},
                3,
                [](const Lines& lines) {
                  const std::size_t pump = IndexOf(lines, "window", "pump");
                  EXPECT_EQ(IndexOf(lines, "window", "unload"), pump + 1);
                }},
        RunCase{"SecondClickIsIgnored",
                "",
                400,
                {"--click", "--click-at-pump", "2"},
                0,
                [](const Lines& lines) {
                  EXPECT_EQ(
                      Count(lines,
                            [](const auto& l) { return l["ev"] == "device" && l["op"] == "left"; }),
                      2u);
                  EXPECT_EQ(kBlocks(lines), 10u);
                }},
        RunCase{"ClosedAfterLoad",
                "",
                400,
                {"--close-after-load"},
                0,
                [](const Lines& lines) {
                  EXPECT_EQ(
                      Count(lines, [](const auto& l) { return IsCall(l, "HidD_SetFeature"); }), 0u);
                  EXPECT_EQ(Count(lines, [](const auto& l) { return IsCall(l, "Sleep"); }), 0u);
                }},
        RunCase{"NothingAskedClosesAfterLoad",
                "",
                400,
                {},
                0,
                [](const Lines& lines) {
                  EXPECT_EQ(
                      Count(lines, [](const auto& l) { return IsCall(l, "HidD_SetFeature"); }), 0u);
                }},
        RunCase{"EmptyRawStrings",
                R"({"device": {"app": {"strings": {"manufacturer": {"utf16_hex": ""},
                    "product": {"utf16_hex": ""}, "serial": {"utf16_hex": ""}}}}})",
                400,
                {},
                0,
                [](const Lines& lines) {
                  EXPECT_GE(Count(lines,
                                  [](const auto& l) {
                                    return IsCall(l, "HidD_GetProductString") && l["result"] == 1;
                                  }),
                            1u);
                }}),
    [](const auto& instance) { return instance.param.name; });

class RightDeviceRun : public ::testing::TestWithParam<testing::RightDeviceCase> {};

TEST_P(RightDeviceRun, GetsTheFirmwareOnlyInItsBootloaderAndIsJudgedAfterItsRestart) {
  EXPECT_EQ(testing::RunRightDeviceCase(GetParam(), QtRunner), "");
}

INSTANTIATE_TEST_SUITE_P(Table, RightDeviceRun, ::testing::ValuesIn(testing::RightDeviceCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

class FollowRun : public ::testing::TestWithParam<testing::FollowCase> {};

TEST_P(FollowRun, SaysWhatTheClickWillDoAndDoesIt) {
  EXPECT_EQ(testing::RunFollowCase(GetParam(), QtRunner), "");
}

INSTANTIATE_TEST_SUITE_P(Table, FollowRun, ::testing::ValuesIn(testing::FollowCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

class ProgressRun : public ::testing::TestWithParam<testing::ProgressCase> {};

TEST_P(ProgressRun, TellsTheWaitsTheTimeLeftTheTaskbarAndTheEnd) {
  EXPECT_EQ(testing::RunProgressCase(GetParam(), QtRunner), "");
}

INSTANTIATE_TEST_SUITE_P(Table, ProgressRun, ::testing::ValuesIn(testing::ProgressCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

class SignedImageRun : public ::testing::TestWithParam<testing::signature::SignedRunCase> {};

TEST_P(SignedImageRun, TakesOnlyAnImageTheMakerSignedAndRefusesOthersBeforeAnyReport) {
  EXPECT_EQ(testing::signature::RunSignedCase(GetParam(), QtRunner), "");
}

INSTANTIATE_TEST_SUITE_P(Table, SignedImageRun,
                         ::testing::ValuesIn(testing::signature::SignedRunCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

// Runs with `args` and returns the exit status, keeping what the runner wrote on stderr.
int RunCapturingErrors(const std::vector<std::string>& args, const std::string& ownFolder,
                       std::string& errors) {
  RunnerOptions options;
  std::string error;
  EXPECT_TRUE(ParseRunnerOptions(args, ownFolder, options, error)) << error;
  ::testing::internal::CaptureStderr();
  const int status = RunEmulated(options, *g_app);
  errors = ::testing::internal::GetCapturedStderr();
  return status;
}

TEST(EmulatedRunFailures, ABadScenarioEndsBeforeTheWindowWithItsOwnStatus) {
  const std::vector<std::string> table = {
      R"({"device": {"mode": "sideways"}})",
      R"({"device": {"on_restart": {"back_after_ms": 1e309}}})",
      R"({"interfaces": [{"report_length": 1e9}]})",
      "{\"device\": {\"app\": {\"strings\": {\"serial\": \"\xC3\"}}}}",
      "",
  };
  for (const std::string& text : table) {
    ScratchFolder folder;
    WriteFile(folder.File("bad.json"), text);
    std::string errors;
    EXPECT_EQ(RunCapturingErrors({folder.File("bad.json"), "--trace", folder.File("t.jsonl")},
                                 folder.Path(), errors),
              ScenarioExitStatus)
        << text;
    EXPECT_NE(errors.find("bad.json"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(folder.File("t.jsonl")));
  }
}

TEST(EmulatedRunFailures, APublicKeyThatCannotBeTakenEndsBeforeTheWindowWithItsOwnStatus) {
  const std::vector<std::string> table = {
      "",
      "-----BEGIN PUBLIC KEY-----\nMFkw\n-----END PUBLIC KEY-----\n",
      std::string(testing::signature::MakerAPem).replace(30, 1, "*"),
      std::string(20000, 'A'),
  };
  for (const std::string& text : table) {
    ScratchFolder folder;
    WriteFile(folder.File("key.pem"), text);
    std::string errors;
    EXPECT_EQ(RunCapturingErrors(
                  {"--public-key", folder.File("key.pem"), "--trace", folder.File("t.jsonl")},
                  folder.Path(), errors),
              PublicKeyExitStatus);
    EXPECT_NE(errors.find("key.pem"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(folder.File("t.jsonl")));
  }
  ScratchFolder folder;
  std::string errors;
  EXPECT_EQ(RunCapturingErrors({"--public-key", folder.File("none.pem")}, folder.Path(), errors),
            PublicKeyExitStatus);
}

TEST(EmulatedRunFailures, ATraceThatCannotBeWrittenEndsWithItsOwnStatus) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ScratchFolder folder;
  std::string errors;
  EXPECT_EQ(RunCapturingErrors({"--trace", "/dev/full"}, folder.Path(), errors), TraceExitStatus);
  EXPECT_NE(errors.find("/dev/full"), std::string::npos) << errors;
}

TEST(EmulatedRunTrace, IsWrittenToAPathOfAnyCharacters) {
  ScratchFolder folder;
  const std::string name =
      "tr\xC3\xA9"
      "ce-\xE6\x97\xA5\xE6\x9C\xAC.jsonl";
  std::string errors;
  EXPECT_EQ(RunCapturingErrors({"--trace", folder.File(name)}, folder.Path(), errors), 0) << errors;
  const fs::path written =
      fs::path(folder.Path()) / std::u8string(u8"tr\u00e9ce-\u65e5\u672c.jsonl");
  std::ifstream in(written);
  std::string first;
  EXPECT_TRUE(std::getline(in, first));
  EXPECT_EQ(nlohmann::json::parse(first)["op"], "show");
}

TEST(EmulatedRunScreenshot, IsTheClientAreaAfterLoad) {
  ScratchFolder folder;
  RunnerOptions options;
  std::string error;
  ASSERT_TRUE(ParseRunnerOptions({"--close-after-load", "--screenshot", folder.File("s.png")},
                                 folder.Path(), options, error));
  EXPECT_EQ(RunEmulated(options, *g_app), 0);
  const QImage shot(QString::fromStdString(folder.File("s.png")));
  EXPECT_EQ(shot.width(), 361);
  EXPECT_EQ(shot.height(), 250);
}

}  // namespace
}  // namespace dalvorn::emulator

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  dalvorn::emulator::g_app = &app;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

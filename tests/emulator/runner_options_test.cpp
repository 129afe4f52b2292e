#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runner_options.h"

namespace dalvorn::emulator {
namespace {

struct OptionsCase {
  std::vector<std::string> args;
  bool accepted;
  std::function<void(const RunnerOptions&)> check;
};

TEST(RunnerOptionsParsing, ReadsTheDocumentedOptionsAndRefusesOthers) {
  const std::vector<OptionsCase> table = {
      {{},
       true,
       [](const RunnerOptions& o) {
         EXPECT_EQ(o.programDir, "/own");
         EXPECT_FALSE(o.scenarioPath);
         EXPECT_FALSE(o.click || o.closeAfterLoad || o.realTime);
         EXPECT_EQ(o.closeAtPump, 0);
         EXPECT_EQ(o.idleMs, 0);
       }},
      {{"s.json", "--click", "--close-at-pump", "3", "--click-at-pump", "1", "--real-time",
        "--program-dir", "/d", "--trace", "t", "--screenshot", "p.png", "--close-after-load",
        "--idle-ms", "60000"},
       true,
       [](const RunnerOptions& o) {
         EXPECT_EQ(o.scenarioPath, "s.json");
         EXPECT_TRUE(o.click && o.realTime && o.closeAfterLoad);
         EXPECT_EQ(o.closeAtPump, 3);
         EXPECT_EQ(o.clickAtPump, 1);
         EXPECT_EQ(o.programDir, "/d");
         EXPECT_EQ(o.tracePath, "t");
         EXPECT_EQ(o.screenshotPath, "p.png");
         EXPECT_EQ(o.idleMs, 60000);
       }},
      {{"--close-at-pump", "0"}, false, nullptr},
      {{"--close-at-pump", "2x"}, false, nullptr},
      {{"--idle-ms", "-1"}, false, nullptr},
      {{"--idle-ms", "2147483648"}, false, nullptr},
      {{"--click-at-pump"}, false, nullptr},
      {{"--trace"}, false, nullptr},
      {{"--clicks"}, false, nullptr},
      {{"a.json", "b.json"}, false, nullptr},
  };
  for (const OptionsCase& c : table) {
    RunnerOptions options;
    std::string error;
    const bool accepted = ParseRunnerOptions(c.args, "/own", options, error);
    EXPECT_EQ(accepted, c.accepted) << (c.args.empty() ? "(none)" : c.args[0]);
    EXPECT_EQ(error.empty(), c.accepted) << error;
    if (accepted && c.check) c.check(options);
  }
}

TEST(RunnerOptionsParsing, PathsAreReadAsUtf8Text) {
  // On Windows a narrow path would go through the ANSI code page and lose these characters.
  const std::string utf8 = "d\xC3\xA9j\xC3\xA0/\xE6\x97\xA5\xE6\x9C\xAC.jsonl";
  const std::filesystem::path path = PathFromUtf8(utf8);
  EXPECT_TRUE(path.u8string() == u8"d\u00e9j\u00e0/\u65e5\u672c.jsonl") << utf8;
  EXPECT_TRUE(path.filename().u8string() == u8"\u65e5\u672c.jsonl") << utf8;
}

}  // namespace
}  // namespace dalvorn::emulator

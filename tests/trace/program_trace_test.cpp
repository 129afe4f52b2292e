// The real program's trace file: one that cannot be opened or written is told on standard
// error, and never changes what the program does or the status it ends with.
#include <gtest/gtest.h>

#include <filesystem>

#include "replay_support.h"
#include "scratch_folder.h"

namespace dalvorn::testing {
namespace {

struct TraceFileCase {
  const char* name;
  const char* path;  // empty: a file in a fresh folder
  bool opened;
  const char* told;  // what standard error says; empty: nothing
};

void PrintTo(const TraceFileCase& c, std::ostream* os) {
  *os << c.name;
}

const TraceFileCase kCases[] = {
    {"written", "", true, ""},
    {"in_a_missing_folder", "/nonexistent-dalvorn/trace.jsonl", false,
     "cannot write the trace /nonexistent-dalvorn/trace.jsonl; the program runs without it"},
#ifndef _WIN32
    {"on_a_full_disk", "/dev/full", true, "writing the trace /dev/full failed; it is incomplete"},
#endif
};

class ProgramTraceFile : public ::testing::TestWithParam<TraceFileCase> {};

TEST_P(ProgramTraceFile, NeverChangesTheRunAndTellsWhatWentWrong) {
  const TraceFileCase& c = GetParam();
  const auto folder = ImageFolder(std::string("program-") + c.name, 5 * 40);
  const std::filesystem::path path = *c.path != 0 ? c.path : folder / "trace.jsonl";

  ::testing::internal::CaptureStderr();
  const TraceFileRun run = RunWithTraceFile(folder, path);
  const std::string told = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(run.opened, c.opened);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.flashedBytes, 5u * 40);
  if (*c.told == 0) {
    EXPECT_EQ(told, "");
    const auto lines = ReadTraceFile(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["ev"], "exit");
    EXPECT_EQ(lines.back()["code"], 0);
  } else {
    EXPECT_NE(told.find(c.told), std::string::npos) << told;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ProgramTraceFile, ::testing::ValuesIn(kCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace dalvorn::testing

// Opening the trace file, as the program and the runner do: never the firmware image however it
// is spelt, never blocking on a FIFO, a new file private and not inherited; and a trace whose
// reader goes away in the middle of a run ends there, said once, while the run goes on.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "reader_who_leaves.h"
#include "replay_support.h"
#include "scratch_folder.h"
#include "trace/trace_file.h"

namespace dalvorn::testing {
namespace {

namespace fs = std::filesystem;

// The descriptor of this process open on `path`, or -1.
int DescriptorOf(const fs::path& path) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (fs::read_symlink(entry.path(), error) == path) return std::stoi(entry.path().filename());
  }
  return -1;
}

struct OpenCase {
  const char* name;
  // What stands at "trace" in a folder holding Varnholt.bin ("image" bytes) and its signature.
  enum Shape {
    Missing,
    NoImage,
    OldFile,
    LinkToImage,
    LinkToSignature,
    HardLinkToImage,
    LinkToMissing,
    Folder,
    FifoNobodyReads
  } shape;
  const char* spelling;  // how the path is written in the folder ("" : "trace")
  bool opened;
  const char* told;
};

void PrintTo(const OpenCase& c, std::ostream* os) {
  *os << c.name;
}

const OpenCase kOpenCases[] = {
    {"a_new_file", OpenCase::Missing, "", true, ""},
    {"an_old_file_emptied", OpenCase::OldFile, "", true, ""},
    {"the_image", OpenCase::Missing, "Varnholt.bin", false, "it is the firmware image "},
    {"the_image_through_dotdot", OpenCase::Missing, "sub/../Varnholt.bin", false,
     "it is the firmware image "},
    {"where_the_image_is_missing", OpenCase::NoImage, "sub/../Varnholt.bin", false,
     "it is the firmware image "},
    {"the_image_through_a_link", OpenCase::LinkToImage, "", false, "it is the firmware image "},
    {"the_image_by_a_second_name", OpenCase::HardLinkToImage, "", false,
     "it is the firmware image "},
    {"the_signature_through_a_link", OpenCase::LinkToSignature, "", false,
     "it is the firmware image's signature "},
    {"a_link_to_nothing", OpenCase::LinkToMissing, "", false,
     "it is a link to a file that does not exist"},
    {"a_folder", OpenCase::Folder, "", false, "EISDIR"},
    {"a_fifo_nobody_reads", OpenCase::FifoNobodyReads, "", false, "it is a FIFO that nobody reads"},
};

class TraceFileOpen : public ::testing::TestWithParam<OpenCase> {};

TEST_P(TraceFileOpen, TakesOnlyWhatMayBeWrittenAndTouchesNothingElse) {
  const OpenCase& c = GetParam();
  const fs::path folder = ImageFolder(std::string("open-") + c.name, 3 * 40);
  const fs::path image = folder / "Varnholt.bin";
  std::ofstream(folder / "Varnholt.bin.sig") << "signature";
  fs::create_directory(folder / "sub");
  const std::string imageBytes = FileText(image);
  const fs::path trace = folder / "trace";
  switch (c.shape) {
    case OpenCase::OldFile:
      std::ofstream(trace) << "an old trace, longer than the new one";
      break;
    case OpenCase::LinkToImage:
      fs::create_symlink(image, trace);
      break;
    case OpenCase::LinkToSignature:
      fs::create_symlink(folder / "Varnholt.bin.sig", trace);
      break;
    case OpenCase::HardLinkToImage:
      fs::create_hard_link(image, trace);
      break;
    case OpenCase::LinkToMissing:
      fs::create_symlink(folder / "nothing", trace);
      break;
    case OpenCase::Folder:
      fs::create_directory(trace);
      break;
    case OpenCase::FifoNobodyReads:
      ASSERT_EQ(::mkfifo(trace.c_str(), 0644), 0);
      break;
    case OpenCase::NoImage:
      fs::remove(image);
      break;
    case OpenCase::Missing:
      break;
  }
  const fs::path path = *c.spelling != 0 ? folder / c.spelling : trace;
  const bool existed = fs::exists(path);

  const mode_t oldMask = ::umask(022);
  TraceFile file;
  std::string error;
  const bool opened = file.Open(path, FirmwareFiles((folder / "Varnholt.bin").string()), error);
  ::umask(oldMask);

  EXPECT_EQ(opened, c.opened) << error;
  EXPECT_NE(error.find(c.told), std::string::npos) << error;
  EXPECT_EQ(FileText(image), c.shape == OpenCase::NoImage ? "" : imageBytes);
  EXPECT_EQ(FileText(folder / "Varnholt.bin.sig"), "signature");
  if (!opened) {
    EXPECT_EQ(fs::exists(path), existed) << "the refused open made a file";
    return;
  }
  std::string writeError;
  ASSERT_TRUE(file.Write("{}\n", 3, writeError)) << writeError;
  const int fd = DescriptorOf(path);
  ASSERT_GE(fd, 0);
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "a child process would inherit the trace";
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  file.Close();
  EXPECT_EQ(FileText(path), "{}\n");
  const auto permissions = fs::status(path).permissions();
  if (c.shape == OpenCase::Missing) {
    EXPECT_EQ(permissions, fs::perms::owner_read | fs::perms::owner_write);
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, TraceFileOpen, ::testing::ValuesIn(kOpenCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(TraceFileWrite, FailsWithTheReasonOnAPipeWhoseReaderHasGone) {
  IgnoreBrokenPipes();
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  TraceFile file;
  std::string error;
  ASSERT_TRUE(file.Open("/proc/self/fd/" + std::to_string(ends[1]), {}, error)) << error;
  ::close(ends[1]);
  ::close(ends[0]);
  EXPECT_FALSE(file.Write("{}\n", 3, error));
  EXPECT_EQ(error, "EPIPE: Broken pipe");
}

// The program's trace over the emulated device, to a pipe whose reader goes away once the
// firmware is on its way: the program ends as it would without a trace, and says so once.
TEST(ProgramTracePipe, WhoseReaderGoesMidUpdateEndsTheTraceNotTheUpdate) {
  IgnoreBrokenPipes();
  const auto folder = ImageFolder("program-pipe", 60 * 40);
  ReaderWhoLeaves reader;
  ::testing::internal::CaptureStderr();
  const TraceFileRun run = RunWithTraceFile(
      folder, reader.WriteEnd(), [&] { reader.CloseWriteEnd(); }, [&] { reader.AtPump(); });
  const std::string told = ::testing::internal::GetCapturedStderr();

  EXPECT_TRUE(reader.Left());
  EXPECT_TRUE(run.opened);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.flashedBytes, 60u * 40);
  EXPECT_NE(told.find("failed; it is incomplete (EPIPE: Broken pipe)"), std::string::npos) << told;
  EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
}

}  // namespace
}  // namespace dalvorn::testing

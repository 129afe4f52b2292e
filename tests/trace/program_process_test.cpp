// The real programs started as processes, as a person starts them: the Qt program with
// DALVORN_TRACE and the emulated runner with --trace, given a pipe whose reader has gone, a FIFO
// nobody reads and the firmware image itself; the runner asked for --help with no display, given
// a public key that is a FIFO or a device, and a device that never comes back. The Qt program runs
// on Qt's minimal platform, which tells on standard error each frame of the window it paints: the
// window is up when one is told. Every wait is bounded; nothing sleeps.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "scratch_folder.h"

namespace dalvorn::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWindowPainted = "QMinimalBackingStore::flush() saving contents";

// Reads `fd` until every one of `wanted` has been seen, it ends, or a minute has passed.
std::string ReadUntil(int fd, const std::vector<std::string>& wanted) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  const auto seenAll = [&] {
    for (const auto& w : wanted) {
      if (text.find(w) == std::string::npos) return false;
    }
    return true;
  };
  while (!seenAll()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char chunk[4096];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return text;
}

// A folder with a copy of the real program and a firmware image beside it, as installed.
class Installed {
 public:
  explicit Installed(const std::string& name) : folder_("-" + name) {
    fs::create_directories(Folder() / "sub");
    fs::copy_file(DALVORN_QT_PROGRAM, Program());
    std::ofstream(Image(), std::ios::binary) << std::string(5 * 40, '\x5A');
  }
  fs::path Folder() const { return folder_.Root(); }
  fs::path Program() const { return Folder() / "dalvorn-firmware-update"; }
  fs::path Image() const { return Folder() / "Varnholt.bin"; }

 private:
  ScratchFolder folder_;
};

// A FIFO with a reader and no room left: whoever opens it to write blocks at its first write,
// until the reader leaves, the moment the FIFO has been opened.
class FullFifo {
 public:
  ~FullFifo() {
    for (const int fd : {reader_, watch_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  bool Make(const std::string& path) {
    if (::mkfifo(path.c_str(), 0600) != 0) return false;
    reader_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader_ < 0 || writer < 0) return false;
    const int room = ::fcntl(writer, F_SETPIPE_SZ, 4096);
    const std::string fill(static_cast<std::size_t>(room > 0 ? room : 65536), 'x');
    const bool full =
        ::write(writer, fill.data(), fill.size()) == static_cast<ssize_t>(fill.size());
    ::close(writer);
    watch_ = ::inotify_init1(IN_CLOEXEC);
    return full && watch_ >= 0 && ::inotify_add_watch(watch_, path.c_str(), IN_OPEN) >= 0;
  }
  // Waits (a minute at most) until another process opens the FIFO, then leaves.
  bool LeaveOnceOpened() {
    pollfd p{watch_, POLLIN, 0};
    const bool opened = ::poll(&p, 1, 60000) == 1;
    ::close(reader_);
    reader_ = -1;
    return opened;
  }

 private:
  int reader_ = -1, watch_ = -1;
};

struct ProgramCase {
  const char* name;
  enum Trace {
    FifoReaderLeaves,
    FifoNobodyReads,
    Image,
    ImageThroughLink,
    ImageThroughDotDot
  } trace;
  const char* told;  // on standard error, after the program's name
};

void PrintTo(const ProgramCase& c, std::ostream* os) {
  *os << c.name;
}

const ProgramCase kProgramCases[] = {
    {"fifo_whose_reader_leaves", ProgramCase::FifoReaderLeaves,
     "failed; it is incomplete (EPIPE: Broken pipe); the program runs on without it"},
    {"fifo_nobody_reads", ProgramCase::FifoNobodyReads,
     "; the program runs without it (it is a FIFO that nobody reads)"},
    {"the_image", ProgramCase::Image, "; the program runs without it (it is the firmware image "},
    {"the_image_through_a_link", ProgramCase::ImageThroughLink,
     "; the program runs without it (it is the firmware image "},
    {"the_image_through_dotdot", ProgramCase::ImageThroughDotDot,
     "; the program runs without it (it is the firmware image "},
};

class RealProgramTrace : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(RealProgramTrace, NeverStopsTheProgramNorReplacesTheImage) {
  const ProgramCase& c = GetParam();
  const Installed installed(c.name);
  const std::string image = FileText(installed.Image());
  std::string trace;
  FullFifo reader;
  switch (c.trace) {
    case ProgramCase::FifoReaderLeaves:
      trace = (installed.Folder() / "fifo").string();
      ASSERT_TRUE(reader.Make(trace));
      break;
    case ProgramCase::FifoNobodyReads:
      trace = (installed.Folder() / "fifo").string();
      ASSERT_EQ(::mkfifo(trace.c_str(), 0600), 0);
      break;
    case ProgramCase::Image:
      trace = installed.Image().string();
      break;
    case ProgramCase::ImageThroughLink:
      trace = (installed.Folder() / "link").string();
      fs::create_symlink(installed.Image(), trace);
      break;
    case ProgramCase::ImageThroughDotDot:
      trace = (installed.Folder() / "sub" / ".." / "Varnholt.bin").string();
      break;
  }
  ChildProcess child =
      StartProcess({installed.Program().string()},
                   {"DALVORN_TRACE=" + trace, "QT_QPA_PLATFORM=minimal", "QT_DEBUG_BACKINGSTORE=1"},
                   installed.Folder());
  ASSERT_GT(child.pid, 0);
  if (c.trace == ProgramCase::FifoReaderLeaves) {
    EXPECT_TRUE(reader.LeaveOnceOpened());
  }
  const std::string told = ReadUntil(child.err, {c.told, kWindowPainted});
  const int ended = StopProcess(child);

  EXPECT_NE(told.find(c.told), std::string::npos) << told;
  EXPECT_NE(told.find(kWindowPainted), std::string::npos) << "the window did not come up\n" << told;
  EXPECT_EQ(ended, 1000 + SIGTERM) << "the program ended before it was closed";
  EXPECT_EQ(FileText(installed.Image()), image);
}

INSTANTIATE_TEST_SUITE_P(Traces, RealProgramTrace, ::testing::ValuesIn(kProgramCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(RealProgramTrace, ToAPipeWithAReaderIsWrittenAsTheProgramRuns) {
  const Installed installed("pipe-read");
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  ChildProcess child = StartProcess(
      {installed.Program().string()},
      {"DALVORN_TRACE=/dev/stdout", "QT_QPA_PLATFORM=minimal", "QT_DEBUG_BACKINGSTORE=1"},
      installed.Folder(), ends[1]);
  ::close(ends[1]);
  const std::string trace =
      ReadUntil(ends[0], {R"("ev":"window","op":"show")", R"("fn":"HidD_GetHidGuid")"});
  const std::string told = ReadUntil(child.err, {kWindowPainted});
  StopProcess(child);
  ::close(ends[0]);
  EXPECT_EQ(trace.rfind(R"({"t":)", 0), 0u) << trace;
  EXPECT_NE(trace.find(R"("fn":"HidD_GetHidGuid")"), std::string::npos) << trace;
  EXPECT_EQ(told.find("trace"), std::string::npos) << told;
}

struct RunnerCase {
  const char* name;
  std::vector<std::string> args;  // after the runner; FOLDER stands for the program folder
  enum Special { None, StdoutReaderLeaves, Fifo, HugeScenario } special;
  int status;
  const char* told;
};

void PrintTo(const RunnerCase& c, std::ostream* os) {
  *os << c.name;
}

const RunnerCase kRunnerCases[] = {
    {"trace_pipe_reader_leaves_after_20_kB",
     {"--click", "--trace", "/dev/stdout"},
     RunnerCase::StdoutReaderLeaves,
     73,
     "writing the trace /dev/stdout failed (EPIPE: Broken pipe); the run goes on without it"},
    {"trace_is_the_image",
     {"--click", "--trace", "FOLDER/sub/../Varnholt.bin"},
     RunnerCase::None,
     73,
     "(it is the firmware image "},
    {"trace_fifo_nobody_reads",
     {"--click", "--trace", "FOLDER/fifo"},
     RunnerCase::Fifo,
     73,
     "(it is a FIFO that nobody reads)"},
    {"scenario_fifo_nobody_writes",
     {"FOLDER/fifo", "--click"},
     RunnerCase::Fifo,
     65,
     "not valid JSON"},
    {"public_key_fifo_nobody_writes",
     {"--public-key", "FOLDER/fifo", "--click"},
     RunnerCase::Fifo,
     66,
     "fifo: cannot be read (it is not a regular file)"},
    {"public_key_device",
     {"--public-key", "/dev/zero", "--click"},
     RunnerCase::None,
     66,
     "/dev/zero: cannot be read (it is not a regular file)"},
    {"scenario_over_64_MiB",
     {"FOLDER/huge.json", "--click"},
     RunnerCase::HugeScenario,
     65,
     "huge.json: is larger than 67108864 bytes"},
};

class RunnerTrace : public ::testing::TestWithParam<RunnerCase> {};

TEST_P(RunnerTrace, EndsWithItsOwnStatusAndNeverHangs) {
  const RunnerCase& c = GetParam();
  const Installed installed(std::string("runner-") + c.name);
  // 500 records: the trace (about 200 kB) is more than the reader takes and a pipe holds.
  std::ofstream(installed.Image(), std::ios::binary) << std::string(500 * 40, '\x33');
  const std::string image = FileText(installed.Image());
  const fs::path fifo = installed.Folder() / "fifo";
  if (c.special == RunnerCase::Fifo) {
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  }
  if (c.special == RunnerCase::HugeScenario) {
    const fs::path huge = installed.Folder() / "huge.json";
    std::ofstream(huge) << "{}";
    fs::resize_file(huge, 64 * 1024 * 1024 + 1);  // sparse: no disk is used
  }
  std::vector<std::string> argv = {DALVORN_RUNNER, "--program-dir", installed.Folder().string()};
  for (std::string arg : c.args) {
    if (arg.rfind("FOLDER", 0) == 0) arg = installed.Folder().string() + arg.substr(6);
    argv.push_back(arg);
  }
  int ends[2] = {-1, -1};
  if (c.special == RunnerCase::StdoutReaderLeaves) {
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  }
  ChildProcess child =
      StartProcess(argv, {"QT_QPA_PLATFORM=offscreen"}, installed.Folder(), ends[1]);
  ASSERT_GT(child.pid, 0);
  if (ends[1] >= 0) {
    ::close(ends[1]);
    std::string read;
    char chunk[4096];
    for (ssize_t n; read.size() < 20000 && (n = ::read(ends[0], chunk, sizeof chunk)) > 0;) {
      read.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(ends[0]);
    EXPECT_GE(read.size(), 20000u);
  }
  const std::string told = ReadUntil(child.err, {c.told});
  EXPECT_EQ(WaitForProcess(child), c.status) << told;
  EXPECT_NE(told.find(c.told), std::string::npos) << told;
  EXPECT_EQ(FileText(installed.Image()), image);
}

INSTANTIATE_TEST_SUITE_P(Files, RunnerTrace, ::testing::ValuesIn(kRunnerCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// Runs `args` off screen and reads its standard output to the end, or for two minutes at most:
// the bytes it wrote there, of which `tail` keeps the last few thousand. Sets `status`.
std::size_t RunToEnd(const std::vector<std::string>& args, std::string& tail, int& status) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return 0;
  ChildProcess child = StartProcess(args, {"QT_QPA_PLATFORM=offscreen"}, {}, ends[1]);
  ::close(ends[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  std::size_t bytes = 0;
  for (char chunk[65536];;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{ends[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = ::read(ends[0], chunk, sizeof chunk);
    if (n <= 0) break;
    bytes += static_cast<std::size_t>(n);
    tail.append(chunk, static_cast<std::size_t>(n));
    if (tail.size() > 8192) tail.erase(0, tail.size() - 4096);
  }
  ::close(ends[0]);
  status = WaitForProcess(child);
  return bytes;
}

TEST(RunnerProcess, AnswersHelpWithNoDisplay) {
  std::string usage;
  int status = -1;
  RunToEnd({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
            DALVORN_RUNNER, "--help"},
           usage, status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(usage.find("73 the trace cannot be written whole, 75 the run was"), std::string::npos);
}

// Three hours of waiting on the run's clock, then the window closed as by its close box: the
// trace, read through a pipe (no disk), ends with the unload, the flash and exit 75.
TEST(RunnerProcess, EndsARunWhoseDeviceNeverComesBackInBoundedTimeAndTrace) {
  const ScratchFolder folder;
  folder.Write("Varnholt.bin", std::string(400, 'Z'));
  const std::string never =
      folder.Write("never.json", R"({"device": {"on_boot_entry": {"as": "never"}}})");
  std::string tail;
  int status = -1;
  const std::size_t bytes = RunToEnd(
      {DALVORN_RUNNER, never, "--program-dir", folder.Path(), "--click", "--trace", "/dev/stdout"},
      tail, status);
  EXPECT_EQ(status, 75);
  EXPECT_LT(bytes, 100'000'000u);  // some 76 MB
  const std::size_t unload = tail.rfind(R"("op":"unload")"), flash = tail.rfind(R"("op":"flash")");
  EXPECT_LT(unload, flash);
  ASSERT_NE(flash, std::string::npos);
  const auto exit = nlohmann::json::parse(tail.substr(tail.find('\n', flash) + 1));
  EXPECT_EQ(exit["code"], 75);
  EXPECT_GE(exit["t"], 3 * 3600 * 1000);
  EXPECT_LT(exit["t"], 3 * 3600 * 1000 + 1000);
}

}  // namespace
}  // namespace dalvorn::testing

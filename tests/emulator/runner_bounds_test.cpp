// The emulated runner started as a person starts it, never hanging or running away: --help with
// no display, a device that never comes back (the run ends after 3 hours on its clock, in a few
// seconds and a bounded trace), and a --public-key that is a FIFO or a device (refused at once).
// Every wait is bounded by a deadline on the child's pipes; nothing sleeps.
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "child_process.h"
#include "scratch_folder.h"

namespace dalvorn::testing {
namespace {

// A minute: far more than any run here takes.
constexpr auto kDeadline = std::chrono::seconds(60);

// Reads `fd` to its end, handing each piece to `take`; false when the deadline came first.
template <class Take>
bool ReadToEnd(int fd, std::chrono::steady_clock::time_point deadline, Take take) {
  char chunk[64 * 1024];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) return true;
    take(chunk, static_cast<std::size_t>(n));
  }
}

struct Ended {
  int status = -1;  // -1: stopped at the deadline
  std::string errors;
};

// Waits for the child until it closes its standard error, or stops it at `deadline`.
Ended Finish(ChildProcess& child, std::chrono::steady_clock::time_point deadline) {
  Ended ended;
  const bool closed = ReadToEnd(child.err, deadline, [&](const char* data, std::size_t size) {
    ended.errors.append(data, size);
  });
  if (!closed) {
    StopProcess(child);
    return ended;
  }
  ended.status = WaitForProcess(child);
  return ended;
}

TEST(RunnerProcess, TellsItsOptionsAndStatusesWithNoDisplay) {
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  ChildProcess child = StartProcess({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u",
                                     "QT_QPA_PLATFORM", DALVORN_RUNNER, "--help"},
                                    {}, {}, out[1]);
  ::close(out[1]);
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  std::string usage;
  EXPECT_TRUE(ReadToEnd(out[0], deadline,
                        [&](const char* data, std::size_t size) { usage.append(data, size); }));
  ::close(out[0]);
  const Ended ended = Finish(child, deadline);
  EXPECT_EQ(ended.status, 0) << ended.errors;
  EXPECT_EQ(usage.rfind("usage: dalvorn-firmware-update-emulated", 0), 0u) << usage;
  for (const char* status : {"64", "65", "66", "73", "75"}) {
    EXPECT_NE(usage.find(status), std::string::npos) << status;
  }
}

TEST(RunnerProcess, EndsARunWhoseDeviceNeverComesBackInBoundedTimeAndTrace) {
  ScratchFolder folder;
  folder.Write("Varnholt.bin", std::string(400, '\x5a'));
  const std::string scenario =
      folder.Write("never.json", R"({"device": {"on_boot_entry": {"as": "never"}}})");
  // The trace comes through a pipe, counted and never kept whole: a runaway run fills no disk.
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  ChildProcess child = StartProcess({DALVORN_RUNNER, scenario, "--program-dir", folder.Path(),
                                     "--click", "--trace", "/dev/stdout"},
                                    {"QT_QPA_PLATFORM=offscreen"}, {}, out[1]);
  ::close(out[1]);
  constexpr std::size_t kMostBytes = 200 * 1000 * 1000;  // a 3-hour wait writes about 80 MB
  const auto deadline = std::chrono::steady_clock::now() + 2 * kDeadline;
  std::size_t bytes = 0;
  std::string tail;
  const bool ended = ReadToEnd(out[0], deadline, [&](const char* data, std::size_t size) {
    bytes += size;
    tail.append(data, size);
    if (tail.size() > 8192) tail.erase(0, tail.size() - 4096);
    if (bytes > kMostBytes) ::kill(child.pid, SIGTERM);
  });
  ::close(out[0]);
  const Ended run = Finish(child, deadline);
  ASSERT_TRUE(ended) << "still writing after two minutes";
  EXPECT_EQ(run.status, 75) << run.errors;
  EXPECT_LE(bytes, kMostBytes);
  EXPECT_NE(run.errors.find("3 hours"), std::string::npos) << run.errors;

  // The trace ends as after a close box: the unload, the terminate, the flash, the exit.
  std::vector<nlohmann::json> last;
  for (std::size_t start = tail.find('\n') + 1, end;
       (end = tail.find('\n', start)) != std::string::npos; start = end + 1) {
    last.push_back(nlohmann::json::parse(tail.substr(start, end - start)));
  }
  ASSERT_GE(last.size(), 3u);
  EXPECT_EQ(last.back()["ev"], "exit");
  EXPECT_EQ(last.back()["code"], 75);
  EXPECT_EQ(last[last.size() - 2]["op"], "flash");
  const std::int64_t endedAt = last.back()["t"];
  EXPECT_GE(endedAt, 3 * 3600 * 1000);
  EXPECT_LT(endedAt, 3 * 3600 * 1000 + 1000);
  bool unloaded = false;
  for (const auto& line : last) unloaded = unloaded || line.value("op", "") == "unload";
  EXPECT_TRUE(unloaded);
}

TEST(RunnerProcess, RefusesAPublicKeyThatIsNoRegularFileWithoutWaitingOnIt) {
  ScratchFolder folder;
  const std::string fifo = folder.File("key.pem");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& key : {fifo, std::string("/dev/zero")}) {
    ChildProcess child = StartProcess(
        {DALVORN_RUNNER, "--public-key", key, "--program-dir", folder.Path(), "--click"},
        {"QT_QPA_PLATFORM=offscreen"});
    const Ended ended = Finish(child, std::chrono::steady_clock::now() + kDeadline);
    EXPECT_EQ(ended.status, 66) << key << ": " << ended.errors;
    EXPECT_NE(ended.errors.find(key + ": cannot be read (it is not a regular file)"),
              std::string::npos)
        << ended.errors;
  }
}

}  // namespace
}  // namespace dalvorn::testing

// What the real Qt program costs while its window idles: the context switches of all its
// threads (/proc/PID/task/*/status) and its processor time over 10 s, once its window is up,
// with no device and with one device connected. The program runs as a person starts it, on
// Qt's offscreen platform, over a host faked with umockdev; its trace (DALVORN_TRACE) tells
// when the window is up.
//   umockdev-wrapper build/<preset>/bench/bench_idle_cost
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "fake_hid_host.h"

namespace {

namespace fs = std::filesystem;
using namespace dalvorn;

constexpr auto IdleTime = std::chrono::seconds(10);

struct ProcessCost {
  long voluntary = 0;
  long involuntary = 0;
  double cpuSeconds = 0;
};

// The sum over every thread of the process.
ProcessCost CostOf(pid_t pid) {
  ProcessCost cost;
  const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  for (const auto& task : fs::directory_iterator(tasks, error)) {
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);) {
      std::istringstream fields(line);
      std::string key;
      long value = 0;
      fields >> key >> value;
      if (key == "voluntary_ctxt_switches:") cost.voluntary += value;
      if (key == "nonvoluntary_ctxt_switches:") cost.involuntary += value;
    }
  }
  // utime and stime, fields 14 and 15 of /proc/PID/stat, after the command's parenthesis.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i >= 14) ticks += std::stol(field);
  }
  cost.cpuSeconds = static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  return cost;
}

// True once the trace holds the status line that `expected` starts, within 30 s.
bool WaitForStatus(const fs::path& trace, const std::string& expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
      if (line.find("\"op\":\"status\",\"text\":\"" + expected) != std::string::npos) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void BM_IdleWindow(benchmark::State& state, bool withDevice) {
  for (auto _ : state) {
    linuxtest::FakeHidHost host;
    if (withDevice) host.AddModelDevice(0, linuxtest::ModelMode::App);
    // The program in a folder of its own, its image beside it, as an installed copy lies.
    const fs::path folder = fs::temp_directory_path() / "dalvorn-idle-cost";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path program = folder / "dalvorn-firmware-update";
    fs::copy_file(DALVORN_PROGRAM, program);
    std::ofstream(folder / "Varnholt.bin", std::ios::binary) << std::string(4000, '\x5a');
    const fs::path trace = folder / "trace.jsonl";

    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::setenv("DALVORN_TRACE", trace.c_str(), 1);
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const std::string expected = withDevice ? "Ready to update." : "Connect the device";
    if (!WaitForStatus(trace, expected)) {
      state.SkipWithError("the window did not come up");
    } else {
      const ProcessCost before = CostOf(pid);
      std::this_thread::sleep_for(IdleTime);
      const ProcessCost after = CostOf(pid);
      state.counters["context_switches_voluntary"] =
          static_cast<double>(after.voluntary - before.voluntary);
      state.counters["context_switches_involuntary"] =
          static_cast<double>(after.involuntary - before.involuntary);
      state.counters["cpu_ms"] = 1000 * (after.cpuSeconds - before.cpuSeconds);
      // For scale: what starting and loading the window took.
      state.counters["context_switches_until_up"] =
          static_cast<double>(before.voluntary + before.involuntary);
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    fs::remove_all(folder);
  }
}

BENCHMARK_CAPTURE(BM_IdleWindow, NoDevice, false)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_IdleWindow, OneDevice, true)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

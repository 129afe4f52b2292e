// What the trace tool costs on a long trace: the time and the peak memory (resident set) of
// `dalvorn-trace-tool normalise`, `compare` and `scenario` on a trace of about 200 MB, the size
// of a 16 MiB image's update. The tool runs as a process, as a developer runs it; its peak is
// the kernel's count for the child (getrusage RUSAGE_CHILDREN through wait4).
//
// The trace is a real run of the emulated runner (DALVORN_RUNNER) whose data blocks are repeated
// until the file holds DALVORN_TRACE_BENCH_MB megabytes (default 200); it is written once, to
// the temporary folder, and removed at the end.
//
// One more row, `scenario_of_many_interfaces`, is `scenario` on the runner's trace of a host of
// DALVORN_TRACE_BENCH_INTERFACES distinct interfaces (default 250,000) searched once: the tool
// places each interface it meets in one step, so its time grows with the count, not its square.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"

namespace {

namespace fs = std::filesystem;

// Runs `argv` with its output thrown away: its exit status and peak resident set.
struct Child {
  int status = -1;
  double peakMiB = 0;
};

Child Run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
  dalvorn::testing::ChildProcess process = dalvorn::testing::StartProcess(argv, env);
  long peakKiB = 0;
  Child child;
  child.status = dalvorn::testing::WaitForProcess(process, &peakKiB);
  child.peakMiB = static_cast<double>(peakKiB) / 1024.0;
  return child;
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The long trace: a runner's update of a small image, with the lines of its first data block
// (its send, the bar, the pump, the pause) repeated until the file has `megabytes`.
class LongTrace {
 public:
  LongTrace()
      : folder_(fs::temp_directory_path() / ("dalvorn-trace-bench-" + std::to_string(::getpid()))) {
    fs::create_directories(folder_);
    std::ofstream(folder_ / "Varnholt.bin", std::ios::binary) << std::string(3 * 40, '\x42');
    const fs::path small = folder_ / "small.jsonl";
    const Child runner = Run(
        {DALVORN_RUNNER, "--program-dir", folder_.string(), "--click", "--trace", small.string()},
        {"QT_QPA_PLATFORM=offscreen"});
    if (runner.status != 0) throw std::runtime_error("the runner failed");
    const std::vector<std::string> lines = ReadLines(small);
    // The first data block: the first send after the caption "Updating firmware...", up to the
    // next send.
    const auto next = [&](std::size_t from, const char* text) {
      for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos) return i;
      }
      throw std::runtime_error(std::string("the runner's trace has no ") + text);
    };
    const std::size_t first = next(next(0, "Updating firmware"), "HidD_SetFeature");
    const std::size_t second = next(first + 1, "HidD_SetFeature");
    const char* mb = std::getenv("DALVORN_TRACE_BENCH_MB");
    const std::uint64_t target = (mb != nullptr ? std::stoull(mb) : 200) * 1000 * 1000;
    std::string head, block, tail;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string& part = i < first ? head : i < second ? block : tail;
      part += lines[i] + "\n";
    }
    std::ofstream out(Path(), std::ios::binary);
    out << head;
    std::uint64_t size = head.size() + tail.size();
    for (; size < target; size += block.size()) out << block;
    out << tail;
    megabytes_ = static_cast<double>(size) / 1e6;
  }
  ~LongTrace() { fs::remove_all(folder_); }
  fs::path Path() const { return folder_ / "long.jsonl"; }
  double Megabytes() const { return megabytes_; }

 private:
  fs::path folder_;
  double megabytes_ = 0;
};

const LongTrace& Trace() {
  static const LongTrace trace;
  return trace;
}

// The runner's trace of a host of many interfaces of other devices, the device last, loaded
// and closed: one search that meets every interface.
class ManyInterfacesTrace {
 public:
  ManyInterfacesTrace()
      : folder_(fs::temp_directory_path() /
                ("dalvorn-trace-bench-many-" + std::to_string(::getpid()))) {
    fs::create_directories(folder_);
    const char* count = std::getenv("DALVORN_TRACE_BENCH_INTERFACES");
    interfaces_ = count != nullptr ? std::stoull(count) : 250000;
    {
      std::ofstream scenario(folder_ / "scenario.json", std::ios::binary);
      scenario << R"({"interfaces": [)";
      for (std::uint64_t i = 0; i < interfaces_; ++i) {
        scenario << (i == 0 ? "" : ",") << R"({"vendor": "0x046D", "product": "0xC52B"})";
      }
      scenario << "]}";
    }
    const Child runner = Run({DALVORN_RUNNER, (folder_ / "scenario.json").string(), "--program-dir",
                              folder_.string(), "--close-after-load", "--trace", Path().string()},
                             {"QT_QPA_PLATFORM=offscreen"});
    if (runner.status != 0) throw std::runtime_error("the runner failed");
    megabytes_ = static_cast<double>(fs::file_size(Path())) / 1e6;
  }
  ~ManyInterfacesTrace() { fs::remove_all(folder_); }
  fs::path Path() const { return folder_ / "many.jsonl"; }
  double Megabytes() const { return megabytes_; }
  double Interfaces() const { return static_cast<double>(interfaces_); }

 private:
  fs::path folder_;
  std::uint64_t interfaces_ = 0;
  double megabytes_ = 0;
};

void BM_TraceTool(benchmark::State& state, std::vector<std::string> command) {
  const std::string path = Trace().Path().string();
  std::vector<std::string> argv = {DALVORN_TRACE_TOOL};
  for (const std::string& word : command) argv.push_back(word == "TRACE" ? path : word);
  Child child;
  for (auto _ : state) child = Run(argv);
  if (child.status != 0) state.SkipWithError("the trace tool failed");
  state.counters["trace_MB"] = Trace().Megabytes();
  state.counters["peak_RSS_MiB"] = child.peakMiB;
}

BENCHMARK_CAPTURE(BM_TraceTool, normalise, std::vector<std::string>{"normalise", "TRACE"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_TraceTool, compare, std::vector<std::string>{"compare", "TRACE", "TRACE"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_TraceTool, scenario, std::vector<std::string>{"scenario", "TRACE"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_ScenarioOfManyInterfaces(benchmark::State& state) {
  static const ManyInterfacesTrace trace;
  Child child;
  for (auto _ : state) child = Run({DALVORN_TRACE_TOOL, "scenario", trace.Path().string()});
  if (child.status != 0) state.SkipWithError("the trace tool failed");
  state.counters["interfaces"] = trace.Interfaces();
  state.counters["trace_MB"] = trace.Megabytes();
  state.counters["peak_RSS_MiB"] = child.peakMiB;
}

BENCHMARK(BM_ScenarioOfManyInterfaces)
    ->Name("BM_TraceTool/scenario_of_many_interfaces")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

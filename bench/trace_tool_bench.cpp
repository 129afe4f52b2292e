// What the trace tool costs on a long trace: the time and the peak memory (resident set) of
// `dalvorn-trace-tool normalise`, `compare` and `scenario` on a trace of about 200 MB, the size
// of a 16 MiB image's update. The tool runs as a process, as a developer runs it; its peak is
// the kernel's count for the child (getrusage RUSAGE_CHILDREN through wait4).
//
// The trace is a real run of the emulated runner (DALVORN_RUNNER) whose data blocks are repeated
// until the file holds DALVORN_TRACE_BENCH_MB megabytes (default 200); it is written once, to
// the temporary folder, and removed at the end.
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

}  // namespace

BENCHMARK_MAIN();

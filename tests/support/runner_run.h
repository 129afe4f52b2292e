// Whole runs of the emulated runner, over Qt or the native window, as a person starts it: the
// tables that both runners run give their cases here.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "runner_options.h"
#include "scratch_folder.h"

namespace dalvorn::testing {

// One runner: runs once as the options say and returns the exit status.
using Runner = std::function<int(const emulator::RunnerOptions&)>;

struct RunnerRun {
  int exitCode = -1;  // -1 also when the options were refused
  std::vector<nlohmann::json> lines;
};

// Runs `run` with `args`, the command line after the program's name, and its trace written to
// trace.jsonl in `folder`.
inline RunnerRun RunRunner(const Runner& run, std::vector<std::string> args,
                           const ScratchFolder& folder) {
  args.insert(args.end(), {"--trace", folder.File("trace.jsonl")});
  emulator::RunnerOptions options;
  std::string error;
  RunnerRun result;
  if (!emulator::ParseRunnerOptions(args, folder.Path(), options, error)) return result;
  result.exitCode = run(options);
  result.lines = ReadTraceFile(folder.File("trace.jsonl"));
  return result;
}

}  // namespace dalvorn::testing

// Recording a run, and replaying its derived scenario on the emulated platform, in-process on
// the virtual clock; the folder that stands for the program's, with its firmware image.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "scenario_from_trace.h"

namespace dalvorn::testing {

// A fresh folder holding Varnholt.bin of `bytes` bytes (i * 13 + 7).
std::filesystem::path ImageFolder(const std::string& name, std::size_t bytes);

// The trace's text as lines.
std::vector<emulator::TraceLine> Lines(const std::string& text);

// Runs the program clicked over the emulated platform and power service playing `scenarioJson`,
// as the emulated runner does; the platform traces its own calls. Returns the trace.
std::vector<emulator::TraceLine> RunEmulated(const std::string& scenarioJson,
                                             const std::filesystem::path& folder);

// Derives the scenario from `recorded`, replays it and returns the difference of the two
// normalised traces (empty when equal).
std::string ReplayDifference(const std::vector<emulator::TraceLine>& recorded,
                             const std::filesystem::path& folder);

// A run of the program clicked over the built-in scenario, its trace written to a file as the
// real program's is (DALVORN_TRACE).
struct TraceFileRun {
  bool opened = false;  // whether the trace file was opened
  int exitCode = -1;
  std::size_t flashedBytes = 0;
};

// Runs the program with its image in `folder` and its trace at `tracePath`; `afterOpen` runs
// once the trace is open, `atPump` at every event pump.
TraceFileRun RunWithTraceFile(const std::filesystem::path& folder,
                              const std::filesystem::path& tracePath,
                              const std::function<void()>& afterOpen = {},
                              std::function<void()> atPump = {});

}  // namespace dalvorn::testing

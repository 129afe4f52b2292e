#include "replay_support.h"

#include <fstream>
#include <sstream>

#include "emulated_platform.h"
#include "emulated_power.h"
#include "emulation_clock.h"
#include "headless_program.h"
#include "scenario.h"
#include "trace/program_trace.h"
#include "trace/tracing_power_guard.h"
#include "trace_normalise.h"
#include "update/firmware_image.h"

namespace dalvorn::testing {

std::filesystem::path ImageFolder(const std::string& name, std::size_t bytes) {
  const auto folder = std::filesystem::temp_directory_path() / ("dalvorn-replay-" + name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::ofstream out(FirmwareImagePath(folder.string()), std::ios::binary);
  for (std::size_t i = 0; i < bytes; ++i) out.put(static_cast<char>(i * 13 + 7));
  return folder;
}

std::vector<emulator::TraceLine> Lines(const std::string& text) {
  std::istringstream in(text);
  return emulator::ReadTrace(in);
}

std::vector<emulator::TraceLine> RunEmulated(const std::string& scenarioJson,
                                             const std::filesystem::path& folder) {
  std::ostringstream text;
  emulator::EmulationClock clock;
  TraceWriter trace(&text, clock);
  const emulator::Scenario scenario = emulator::ParseScenario(scenarioJson);
  emulator::EmulatedPlatform platform(scenario, clock, trace, folder.string());
  emulator::EmulatedPowerGuard scenarioPower(scenario.power);
  TracingPowerGuard power(scenarioPower, trace);
  RunClickedProgram(platform, trace, {}, power);
  return Lines(text.str());
}

std::string ReplayDifference(const std::vector<emulator::TraceLine>& recorded,
                             const std::filesystem::path& folder) {
  const std::string scenario = emulator::ScenarioFromTrace(recorded).dump();
  const auto replayed = RunEmulated(scenario, folder);
  const std::string difference = emulator::CompareNormalised(emulator::NormaliseTrace(recorded),
                                                             emulator::NormaliseTrace(replayed));
  return difference.empty() ? difference : difference + "scenario: " + scenario + "\n";
}

TraceFileRun RunWithTraceFile(const std::filesystem::path& folder,
                              const std::filesystem::path& tracePath,
                              const std::function<void()>& afterOpen,
                              std::function<void()> atPump) {
  emulator::EmulationClock clock;
  TraceWriter silent(nullptr, clock);
  emulator::EmulatedPlatform platform(emulator::BuiltInScenario(), clock, silent, folder.string());
  DiskFirmwareImageFile image;
  TraceFileRun run;
  {
    ProgramTrace trace(tracePath, platform, image);
    if (afterOpen) afterOpen();
    run.opened = trace.Opened();
    run.exitCode =
        trace.Finish(RunClickedProgram(trace.Platform(), trace.Writer(), std::move(atPump)));
  }
  run.flashedBytes = platform.Device().Flash().size();
  return run;
}

}  // namespace dalvorn::testing

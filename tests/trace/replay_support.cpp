#include "replay_support.h"

#include <fstream>
#include <sstream>

#include "emulated_platform.h"
#include "emulation_clock.h"
#include "headless_program.h"
#include "scenario.h"
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
  emulator::EmulatedPlatform platform(emulator::ParseScenario(scenarioJson), clock, trace,
                                      folder.string());
  RunClickedProgram(platform, trace);
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

}  // namespace dalvorn::testing

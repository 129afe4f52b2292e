// A scenario derived from a recorded trace, so that the emulated runner replays what a real
// program saw: the host's interfaces in order, the device's modes, status, refused block and
// how long it stayed away after the bootloader-entry message and after the data.
#pragma once

#include <istream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <vector>

namespace dalvorn::emulator {

using TraceLine = nlohmann::ordered_json;

class TraceReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One JSON object a non-empty line; throws TraceReadError naming the line that is not one.
std::vector<TraceLine> ReadTrace(std::istream& in);

// The scenario, in the scenario file's format. The replay's virtual clock advances only by the
// recorded pauses, so the device's absences are measured in those pauses: it is found again
// by the same search that found it in the recording.
nlohmann::ordered_json ScenarioFromTrace(const std::vector<TraceLine>& trace);

}  // namespace dalvorn::emulator

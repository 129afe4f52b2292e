#include "emulator/scenario_from_trace.h"

#include <string>

#include "emulator/recorded_run.h"
#include "emulator/scenario_json.h"

namespace dalvorn::emulator {

std::vector<TraceLine> ReadTrace(std::istream& in) {
  std::vector<TraceLine> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty()) continue;
    TraceLine line = TraceLine::parse(text, nullptr, false);
    if (!line.is_object()) {
      throw TraceReadError("line " + std::to_string(number) + " is not a JSON object");
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

nlohmann::ordered_json ScenarioFromTrace(const std::vector<TraceLine>& trace) {
  RecordedRun run(trace);
  for (const TraceLine& line : trace) run.Line(line);
  return ScenarioJson(run);
}

}  // namespace dalvorn::emulator

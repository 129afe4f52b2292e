#include "scenario_from_trace.h"

#include <string>

#include "recorded_run.h"
#include "scenario_json.h"
#include "trace_check.h"
#include "trace_input.h"

namespace dalvorn::emulator {

std::vector<TraceLine> ReadTrace(std::istream& in) {
  StreamSource source(in);
  TraceReader reader(source, "the trace", /*checkFields=*/false);
  std::vector<TraceLine> lines;
  for (TraceLine line; reader.Next(line);) lines.push_back(std::move(line));
  return lines;
}

nlohmann::ordered_json ScenarioFromTrace(const std::vector<TraceLine>& trace) {
  OtherInterfacesReader others;
  for (const TraceLine& line : trace) others.Line(line);
  RecordedRun run(others.Result());
  for (const TraceLine& line : trace) run.Line(line);
  return ScenarioJson(run);
}

nlohmann::ordered_json ScenarioFromTrace(ByteSource& trace, const std::string& name) {
  OtherInterfacesReader others;
  {
    TraceReader reader(trace, name);
    std::uint64_t count = 0;
    for (TraceLine line; reader.Next(line); ++count) others.Line(line);
    if (count == 0) throw TraceReadError(name + ": holds no trace line");
  }
  trace.Rewind();
  RecordedRun run(others.Result());
  TraceReader reader(trace, name);
  for (TraceLine line; reader.Next(line);) {
    try {
      run.Line(line);
    } catch (const TraceLineError& e) {
      reader.Fail(e.what());
    }
  }
  return ScenarioJson(run);
}

}  // namespace dalvorn::emulator

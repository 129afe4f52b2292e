// A scenario derived from a recorded trace, so that the emulated runner replays what a real
// program saw: the host's interfaces in order, the device's modes, status, refused block and
// how long it stayed away after the bootloader-entry message and after the data.
#pragma once

#include <istream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "trace_line.h"

namespace dalvorn::emulator {

class ByteSource;

// One JSON object a non-empty line, each within the limits of trace_check.h; its fields are not
// checked (the text may be a normalised trace). Throws TraceReadError naming the line that is
// not one.
std::vector<TraceLine> ReadTrace(std::istream& in);

// The scenario, in the scenario file's format. The replay's virtual clock advances only by the
// recorded pauses, so the device's absences are measured in those pauses: it is found again
// by the same search that found it in the recording.
nlohmann::ordered_json ScenarioFromTrace(const std::vector<TraceLine>& trace);

// The same from a trace read twice, one line at a time (trace_input.h), so that only what the
// scenario needs is kept; `name` names the trace in the errors. Throws TraceReadError.
nlohmann::ordered_json ScenarioFromTrace(ByteSource& trace, const std::string& name);

}  // namespace dalvorn::emulator

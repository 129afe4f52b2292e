// The trace tool's commands, apart from its process: what `dalvorn-trace-tool` does with its
// arguments, writing to `out` and telling faults on `err`.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dalvorn::emulator {

// Exit statuses besides 0 (done, or equal) and 1 (the traces differ).
inline constexpr int TraceToolUsageStatus = 64;
inline constexpr int TraceToolInputStatus = 66;  // an input that cannot be read or is no trace
inline constexpr int TraceToolOutputStatus = 74;

//   scenario TRACE            the scenario, on `out`
//   normalise TRACE           the trace as it is compared, one line at a time
//   compare RECORDED REPLAYED 0 when equal once normalised, 1 with the first differing line
// Every input is read one line at a time (trace_input.h), so memory stays bounded
// whatever its size. Returns the exit status.
int RunTraceTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dalvorn::emulator

// dalvorn-trace-tool: turns a recorded trace into a scenario that replays it on the emulated
// runner, and compares a recorded trace with its replay.
//
//   dalvorn-trace-tool scenario TRACE            the scenario, on standard output
//   dalvorn-trace-tool normalise TRACE           the trace as it is compared
//   dalvorn-trace-tool compare RECORDED REPLAYED exit 0 when equal once normalised, 1 if not
//
// A file that cannot be read, or is not a trace, ends it with status 66 and the reason (the
// file, the line and the field) on standard error.
#include <iostream>
#include <string>
#include <vector>

#include "trace_tool.h"

int main(int argc, char* argv[]) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return dalvorn::emulator::RunTraceTool(args, std::cout, std::cerr);
}

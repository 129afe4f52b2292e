// dalvorn-trace-tool: turns a recorded trace into a scenario that replays it on the emulated
// runner, and compares a recorded trace with its replay.
//
//   dalvorn-trace-tool scenario TRACE            the scenario, on standard output
//   dalvorn-trace-tool normalise TRACE           the trace as it is compared
//   dalvorn-trace-tool compare RECORDED REPLAYED exit 0 when equal once normalised, 1 if not
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "emulator/scenario_from_trace.h"
#include "emulator/trace_normalise.h"

namespace {

constexpr const char* kName = "dalvorn-trace-tool: ";

std::vector<dalvorn::emulator::TraceLine> Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw dalvorn::emulator::TraceReadError(path + ": cannot be read");
  try {
    return dalvorn::emulator::ReadTrace(in);
  } catch (const dalvorn::emulator::TraceReadError& e) {
    throw dalvorn::emulator::TraceReadError(path + ": " + e.what());
  }
}

int Usage() {
  std::cerr << "usage: dalvorn-trace-tool scenario TRACE\n"
               "       dalvorn-trace-tool normalise TRACE\n"
               "       dalvorn-trace-tool compare RECORDED REPLAYED\n";
  return 64;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 2 && args[0] == "scenario") {
      std::cout << dalvorn::emulator::ScenarioFromTrace(Load(args[1])).dump(2) << '\n';
      return 0;
    }
    if (args.size() == 2 && args[0] == "normalise") {
      for (const auto& line : dalvorn::emulator::NormaliseTrace(Load(args[1]))) {
        std::cout << line.dump() << '\n';
      }
      return 0;
    }
    if (args.size() == 3 && args[0] == "compare") {
      const std::string difference =
          dalvorn::emulator::CompareNormalised(dalvorn::emulator::NormaliseTrace(Load(args[1])),
                                               dalvorn::emulator::NormaliseTrace(Load(args[2])));
      if (difference.empty()) {
        std::cout << "the normalised traces are equal\n";
        return 0;
      }
      std::cout << difference;
      return 1;
    }
  } catch (const std::exception& e) {
    std::cerr << kName << e.what() << '\n';
    return 66;
  }
  return Usage();
}

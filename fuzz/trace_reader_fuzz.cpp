// libFuzzer target for the trace tool's reading of a trace: any bytes either become a scenario,
// a normalised trace and a comparison, or fail with a TraceReadError that names the input and
// the line. Nothing else may escape, crash or read outside the input; a trace compared with
// itself is equal; and a scenario made from it loads in the runner.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scenario.h"
#include "scenario_from_trace.h"
#include "trace_check.h"
#include "trace_input.h"
#include "trace_normalise.h"

namespace {

using namespace dalvorn::emulator;

void ExpectNamed(const TraceReadError& e) {
  if (std::string_view(e.what()).substr(0, 7) != "input: ") __builtin_trap();
}

void MakeScenario(std::string_view text) {
  MemorySource source(text);
  std::string scenario;
  try {
    scenario = ScenarioFromTrace(source, "input").dump();
  } catch (const TraceReadError& e) {
    ExpectNamed(e);
    return;
  }
  ParseScenario(scenario);  // a ScenarioError escapes: the tool made a scenario nobody takes
}

void NormaliseAndCompare(std::string_view text) {
  MemorySource source(text);
  TraceReader reader(source, "input");
  TraceNormaliser normaliser;
  TraceLine normalised;
  try {
    for (TraceLine line; reader.Next(line);) {
      try {
        if (normaliser.Normalise(line, normalised)) (void)normalised.dump();
      } catch (const TraceLineError& e) {
        reader.Fail(e.what());
      }
    }
  } catch (const TraceReadError& e) {
    ExpectNamed(e);
  }
  MemorySource a(text), b(text);
  TraceReader recorded(a, "input"), replayed(b, "input");
  try {
    if (!CompareTraces(recorded, replayed).empty()) __builtin_trap();
  } catch (const TraceReadError& e) {
    ExpectNamed(e);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  MakeScenario(text);
  NormaliseAndCompare(text);
  return 0;
}

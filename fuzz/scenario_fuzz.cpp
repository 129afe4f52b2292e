// libFuzzer target for the scenario loader: any bytes either become a scenario or fail with a
// ScenarioError that says which field is wrong. Nothing else may escape, crash or read outside
// the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    dalvorn::emulator::ParseScenario(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const dalvorn::emulator::ScenarioError& e) {
    if (*e.what() == 0) __builtin_trap();
  }
  return 0;
}

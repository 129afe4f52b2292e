// One device search over a host with from 1 to 20,000 other HID interfaces before the device:
// the search opens every interface once, so its cost per interface should stay flat.
#include <benchmark/benchmark.h>

#include "device/find_the_hid.h"
#include "emulated_platform.h"
#include "scenario.h"

namespace {

using namespace dalvorn;

void BM_FindTheHid(benchmark::State& state) {
  emulator::Scenario scenario = emulator::BuiltInScenario();
  scenario.interfaces.clear();
  for (int i = 0; i < state.range(0); ++i) {
    emulator::PlainInterface other;
    other.vendor = 0x046D;
    other.product = static_cast<std::uint16_t>(0xC000 + i);
    scenario.interfaces.push_back(other);
  }
  scenario.devicePosition = scenario.interfaces.size();

  emulator::EmulationClock clock;
  TraceWriter trace(nullptr, clock);
  emulator::EmulatedPlatform platform(scenario, clock, trace, ".");
  DeviceSession session;
  for (auto _ : state) {
    const bool found = FindTheHid(session, platform);
    benchmark::DoNotOptimize(found);
    CloseDeviceHandles(session, platform);
  }
  state.SetLabel(std::to_string(state.range(0)) + " other interfaces");
  state.SetComplexityN(state.range(0));
  state.counters["per_interface"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FindTheHid)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oAuto);

}  // namespace

// The transfer's real-time pace on the emulated device in the Qt window (offscreen), as the
// emulated runner runs it with --real-time: every block is sent, the bar grows, the window
// handles its events, and the next block waits for what is left of 20 ms after the send.
// Reports the pace efficiency: 20 ms times the intervals over the time from first to last.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "emulator/emulated_platform.h"
#include "emulator/scenario.h"
#include "pace_recorder.h"
#include "ui/frm_main.h"
#include "ui/qt/qt_window_view.h"

namespace {

using namespace dalvorn;

constexpr std::size_t Blocks = 250;  // five seconds at the pace

void BM_PaceEmulatedRealTime(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "dalvorn-pace-bench";
  std::filesystem::create_directories(folder);
  std::ofstream(FirmwareImagePath(folder.string()), std::ios::binary)
      << std::string(Blocks * FlashRecordSize, '\x5a');

  emulator::Scenario scenario = emulator::BuiltInScenario();
  scenario.device.mode = emulator::DeviceMode::Boot;
  for (auto _ : state) {
    emulator::EmulationClock clock(/*realTime=*/true);
    TraceWriter trace(nullptr, clock);
    emulator::EmulatedPlatform emulated(scenario, clock, trace, folder.string());
    bench::PaceRecorder platform(emulated);
    QtWindowView view;
    DiskFirmwareImageFile image;
    FrmMain frm(platform, view, image);
    view.SetEvents(&frm);
    frm.Form_Load();
    frm.btnUpgradeFW_Click();
    frm.Form_Terminate();
    state.counters["efficiency_percent"] = 100 * platform.Efficiency(Blocks);
    state.counters["longest_interval_ms"] = platform.LongestIntervalMs(Blocks);
    state.counters["shortest_gap_ms"] = platform.ShortestGapAfterSendMs(Blocks);
    state.counters["mean_send_ms"] = platform.MeanSendMs(Blocks);
    state.counters["mean_gap_ms"] = platform.MeanGapAfterSendMs(Blocks);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PaceEmulatedRealTime)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

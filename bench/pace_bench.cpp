// The transfer's real-time pace on the emulated device in the Qt window (offscreen), as the
// emulated runner runs it with --real-time: every block is sent, the bar grows, the window
// handles its events, and the next block waits for what is left of 20 ms after the send.
// Reports the pace efficiency: 20 ms times the intervals over the time from first to last, and,
// in the same run, the efficiency of a bare loop over the same emulated device (send a block,
// then sleep until 20 ms after the send returned, nothing else) and the program's over it: what
// the window, the bar, the pump and the program's own bookkeeping cost the pace.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "device/device_session.h"
#include "device/find_the_hid.h"
#include "emulated_platform.h"
#include "pace_recorder.h"
#include "scenario.h"
#include "ui/frm_main.h"
#include "ui/qt/qt_window_view.h"
#include "update/block_transfer.h"

namespace {

using namespace dalvorn;

constexpr std::size_t Blocks = 250;  // five seconds at the pace

// The program's update of `scenario`'s device; its pace efficiency.
double ProgramEfficiency(const emulator::Scenario& scenario, const std::string& folder,
                         benchmark::State& state) {
  emulator::EmulationClock clock(/*realTime=*/true);
  TraceWriter trace(nullptr, clock);
  emulator::EmulatedPlatform emulated(scenario, clock, trace, folder);
  bench::PaceRecorder platform(emulated);
  QtWindowView view;
  DiskFirmwareImageFile image;
  FrmMain frm(platform, view, image);
  view.SetEvents(&frm);
  frm.Form_Load();
  frm.btnUpgradeFW_Click();
  frm.Form_Terminate();
  state.counters["longest_interval_ms"] = platform.LongestIntervalMs(Blocks);
  state.counters["shortest_gap_ms"] = platform.ShortestGapAfterSendMs(Blocks);
  state.counters["mean_send_ms"] = platform.MeanSendMs(Blocks);
  state.counters["mean_gap_ms"] = platform.MeanGapAfterSendMs(Blocks);
  return platform.Efficiency(Blocks);
}

// The same number of blocks sent to the same device by a bare loop; its pace efficiency.
double BareLoopEfficiency(const emulator::Scenario& scenario, const std::string& folder) {
  emulator::EmulationClock clock(/*realTime=*/true);
  TraceWriter trace(nullptr, clock);
  emulator::EmulatedPlatform emulated(scenario, clock, trace, folder);
  bench::PaceRecorder platform(emulated);
  DeviceSession session;
  if (!FindTheHid(session, platform)) return 0;
  std::vector<std::uint8_t> block(FlashRecordSize + 1, 0x5a);
  block[0] = 0;  // report ID
  for (std::size_t i = 0; i < Blocks; ++i) {
    platform.HidD_SetFeature(session.DeviceHandle, block.data(),
                             static_cast<std::uint32_t>(block.size()));
    platform.SleepUntil(platform.SteadyMicroseconds() + BlockPaceMicroseconds);
  }
  CloseDeviceHandles(session, platform);
  return platform.Efficiency(Blocks);
}

void BM_PaceEmulatedRealTime(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "dalvorn-pace-bench";
  std::filesystem::create_directories(folder);
  std::ofstream(FirmwareImagePath(folder.string()), std::ios::binary)
      << std::string(Blocks * FlashRecordSize, '\x5a');

  emulator::Scenario scenario = emulator::BuiltInScenario();
  scenario.device.mode = emulator::DeviceMode::Boot;
  for (auto _ : state) {
    const double program = ProgramEfficiency(scenario, folder.string(), state);
    const double bare = BareLoopEfficiency(scenario, folder.string());
    state.counters["efficiency_percent"] = 100 * program;
    state.counters["bare_loop_efficiency_percent"] = 100 * bare;
    state.counters["program_over_bare_loop_percent"] = bare > 0 ? 100 * program / bare : 0;
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PaceEmulatedRealTime)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

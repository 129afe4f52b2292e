// The work of one data block apart from its 20 ms pause: building the message, sending it,
// growing the bar, repainting it and one pass of the event queue, in the Qt window.
#include <benchmark/benchmark.h>


#include "device/find_the_hid.h"
#include "emulator/emulated_platform.h"
#include "emulator/scenario.h"
#include "ui/frm_main.h"
#include "ui/qt/qt_window_view.h"
#include "update/feature_reports.h"

namespace {

using namespace dalvorn;

void BM_OneBlock(benchmark::State& state) {
  emulator::Scenario scenario = emulator::BuiltInScenario();
  scenario.device.mode = emulator::DeviceMode::Boot;
  emulator::EmulationClock clock;
  emulator::TraceWriter trace(nullptr, clock);
  emulator::EmulatedPlatform platform(scenario, clock, trace, ".");
  QtWindowView view;
  DiskFirmwareImageFile image;
  FrmMain frm(platform, view, image);
  view.SetEvents(&frm);
  frm.Form_Load();
  frm.SetProgressVisible(true);

  DeviceSession& session = frm.Session();
  std::vector<std::uint8_t> block = NewReportBuffer(BlockBufferSize, session);
  std::uint8_t record[FlashRecordSize] = {};
  std::int64_t blocksSent = 0;
  constexpr std::int64_t RecordCount = 1 << 20;
  for (auto _ : state) {
    record[0] = static_cast<std::uint8_t>(blocksSent);
    BuildDataBlockMessage(block, record);
    benchmark::DoNotOptimize(SendFeatureReport(session, platform, block));
    ++blocksSent;
    frm.SetProgressWidth(static_cast<float>(
        static_cast<double>(std::int64_t{session.ProgressFullWidth} * blocksSent) / RecordCount));
    frm.RepaintProgress();
    frm.PumpEvents();
  }
  view.Unload();
  frm.Form_Terminate();
}
BENCHMARK(BM_OneBlock)->Unit(benchmark::kMicrosecond);

}  // namespace

// The work of one data block apart from its 20 ms pause: building the message, sending it,
// growing the bar, repainting it and one pass of the event queue, in the Qt window; without
// and with the trace the real program writes under DALVORN_TRACE (to a file, every line
// flushed). And what the program's start pays for the trace when it is off.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "device/find_the_hid.h"
#include "emulated_platform.h"
#include "scenario.h"
#include "trace/program_trace.h"
#include "trace/tracing_desktop_shell.h"
#include "trace/tracing_platform.h"
#include "trace/tracing_window.h"
#include "ui/frm_main.h"
#include "ui/qt/qt_window_view.h"
#include "update/block_transfer.h"
#include "update/feature_reports.h"
#include "update/status_texts.h"
#include "update/transfer_progress.h"

namespace {

using namespace dalvorn;

// range(0): 0 untraced, 1 traced as the real program traces. range(1): 1 adds the progress work
// a person follows from afar (the time left measured, the status line and the taskbar told as
// often as they change), 0 is the bare loop.
void BM_OneBlock(benchmark::State& state) {
  const bool traced = state.range(0) != 0;
  const bool progressWork = state.range(1) != 0;
  emulator::Scenario scenario = emulator::BuiltInScenario();
  scenario.device.mode = emulator::DeviceMode::Boot;
  emulator::EmulationClock clock;
  TraceWriter silent(nullptr, clock);
  emulator::EmulatedPlatform emulated(scenario, clock, silent, ".");
  const auto path = std::filesystem::temp_directory_path() / "dalvorn-bench-trace.jsonl";
  std::ofstream file;
  if (traced) file.open(path, std::ios::trunc | std::ios::binary);
  TraceWriter trace(traced ? &file : nullptr, clock);
  TracingPlatform tracingPlatform(emulated, trace);
  HidPlatform& platform = traced ? static_cast<HidPlatform&>(tracingPlatform) : emulated;
  QtWindowView window;
  TracingWindowView tracingView(window, trace);
  WindowView& view = traced ? static_cast<WindowView&>(tracingView) : window;
  DiskFirmwareImageFile image;
  TracingDesktopShell tracingShell(NoDesktopService(), trace);
  DesktopShell& shell = traced ? static_cast<DesktopShell&>(tracingShell) : NoDesktopService();
  FrmMain frm(platform, view, image, NoPowerService(), NoIdleWatchService(), shell);
  view.SetEvents(&frm);
  frm.Form_Load();
  frm.SetProgressVisible(true);

  DeviceSession& session = frm.Session();
  std::vector<std::uint8_t> block = NewReportBuffer(BlockBufferSize, session);
  std::uint8_t record[FlashRecordSize] = {};
  std::int64_t blocksSent = 0;
  constexpr std::int64_t RecordCount = 1 << 20;
  TransferProgress progress(RecordCount - 1);
  std::int64_t sentUs = 0;  // the sends 20 ms apart, as the pace has them
  for (auto _ : state) {
    record[0] = static_cast<std::uint8_t>(blocksSent);
    BuildDataBlockMessage(block, record);
    benchmark::DoNotOptimize(SendFeatureReport(session, platform, block));
    ++blocksSent;
    frm.SetProgressWidth(static_cast<float>(
        static_cast<double>(std::int64_t{frm.ProgressFullWidth()} * blocksSent) / RecordCount));
    frm.RepaintProgress();
    if (progressWork) {
      sentUs += BlockPaceMicroseconds;
      const TransferProgress::Step step = progress.BlockSent(blocksSent, sentUs);
      if (step.secondsLeft) frm.SetStatusText(TransferStatusText(*step.secondsLeft));
      if (step.percent) shell.SetTaskbarProgress(*step.percent);
    }
    frm.PumpEvents();
    // The pause itself is not measured; its trace line is.
    if (traced) trace.Call("Sleep", TraceFields{{"ms", 20}}, nullptr);
  }
  window.Unload();
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  if (traced) {
    file.close();
    std::filesystem::remove(path);
  }
}
BENCHMARK(BM_OneBlock)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"traced", "progress"})
    ->Unit(benchmark::kMicrosecond);

// All that the program's start does for the trace when DALVORN_TRACE is unset.
void BM_StartWithTraceOff(benchmark::State& state) {
  ::unsetenv("DALVORN_TRACE");
  for (auto _ : state) benchmark::DoNotOptimize(TracePathFromEnvironment().empty());
}
BENCHMARK(BM_StartWithTraceOff);

}  // namespace

// A field trace of the power service: the real program's composition (RunProgram with
// DALVORN_TRACE) over a host on a low battery, turned into a scenario by the trace tool and
// replayed on the emulated platform: the refusal replays as a refusal, and the real program's
// `power` lines read as the emulator's. (tests/trace/replay_test.cpp replays the other answers.)
#include <gtest/gtest.h>

#include <cstdlib>

#include "emulated_platform.h"
#include "emulated_power.h"
#include "emulation_clock.h"
#include "headless_program.h"
#include "program_run.h"
#include "replay_support.h"
#include "scenario.h"
#include "scratch_folder.h"
#include "ui/main_window_run.h"

namespace dalvorn::testing {
namespace {

using emulator::TraceLine;

// What the host's power service answers in the field, as a scenario's `power`.
constexpr const char* kLowBattery =
    R"({"on_battery": true, "percentage": 10, "hold_refused": false})";

std::vector<TraceLine> PowerLinesOf(std::vector<TraceLine> trace) {
  std::erase_if(trace, [](const TraceLine& line) { return line["ev"] != "power"; });
  for (TraceLine& line : trace) line.erase("t");
  return trace;
}

// Runs the real program's composition once, clicked, over a host that answers as `power` says,
// with its trace asked for in the environment; returns the program's exit status.
int RunInTheField(const char* power, const std::filesystem::path& folder,
                  const std::filesystem::path& trace) {
  ::setenv("DALVORN_TRACE", trace.c_str(), 1);
  emulator::EmulationClock clock;
  TraceWriter silent(nullptr, clock);
  emulator::EmulatedPlatform host(emulator::BuiltInScenario(), clock, silent, folder.string());
  emulator::EmulatedPowerGuard hostPower(
      emulator::ParseScenario(std::string(R"({"power": )") + power + "}").power);
  DiskFirmwareImageFile image;
  HeadlessView window;
  const int exitCode = RunProgram(
      window, host, image, hostPower, NoIdleWatchService(), NoDesktopService(),
      [&](WindowView& view, HidPlatform& platform, FirmwareImageFile& file, PowerGuard& guard,
          IdleWatch& watch, DesktopShell&, const MainWindowHooks& hooks) {
        const auto clickThenClose = [&] {
          window.Click();
          window.Unload();
        };
        return RunMainWindow(clickThenClose, view, platform, file, hooks, guard, watch);
      });
  ::unsetenv("DALVORN_TRACE");
  return exitCode;
}

TEST(FieldPowerTrace, OfALowBatteryRefusalReplaysAsThatRefusalWithTheSamePowerLines) {
  const auto folder = ImageFolder("field-power", 5 * 40 + 3);
  EXPECT_EQ(RunInTheField(kLowBattery, folder, folder / "field.jsonl"), 2);
  const auto recorded = Lines(FileText(folder / "field.jsonl"));
  const auto emulated = RunEmulated(std::string(R"({"power": )") + kLowBattery + "}", folder);
  ASSERT_FALSE(PowerLinesOf(recorded).empty());
  EXPECT_EQ(PowerLinesOf(recorded), PowerLinesOf(emulated));
  EXPECT_EQ(ReplayDifference(recorded, folder), "");
}

}  // namespace
}  // namespace dalvorn::testing

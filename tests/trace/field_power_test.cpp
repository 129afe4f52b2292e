// A field trace of the power service: the real program's composition (RunProgram with
// DALVORN_TRACE) over a host whose power service answers as each case says, turned into a
// scenario by the trace tool and replayed on the emulated platform. A refusal on a low battery
// replays as a refusal, and the real program's `power` lines read as the emulator's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "emulated_platform.h"
#include "emulation_clock.h"
#include "headless_program.h"
#include "program_run.h"
#include "replay_support.h"
#include "scenario.h"
#include "trace_normalise.h"
#include "ui/main_window_run.h"

namespace dalvorn::testing {
namespace {

// A system's power service that answers as it is told.
class FixedPowerGuard final : public PowerGuard {
 public:
  FixedPowerGuard(BatteryState battery, bool holds) : battery_(battery), holds_(holds) {}
  bool Hold() override { return holds_; }
  void Release() override {}
  BatteryState Battery() override { return battery_; }

 private:
  BatteryState battery_;
  bool holds_;
};

struct FieldPowerCase {
  const char* name;
  BatteryState battery;
  bool holds;
  int exitCode;
  const char* power;  // the scenario's `power` the trace tool writes
};

void PrintTo(const FieldPowerCase& c, std::ostream* os) {
  *os << c.name;
}

const FieldPowerCase kCases[] = {
    {"low_battery_refused",
     {true, true, 10},
     true,
     2,
     R"({"on_battery": true, "percentage": 10, "hold_refused": false})"},
    {"charge_unknown",
     {false, false, 0},
     true,
     0,
     R"({"on_battery": false, "percentage": null, "hold_refused": false})"},
    {"hold_refused_on_the_power_supply",
     {true, false, 80},
     false,
     0,
     R"({"on_battery": false, "percentage": 80, "hold_refused": true})"},
};

std::vector<emulator::TraceLine> PowerLinesOf(const std::vector<emulator::TraceLine>& trace) {
  std::vector<emulator::TraceLine> power;
  for (emulator::TraceLine line : trace) {
    if (line["ev"] != "power") continue;
    line.erase("t");
    power.push_back(line);
  }
  return power;
}

// Runs the real program's composition once, clicked, with its trace asked for in the
// environment; returns the trace.
std::vector<emulator::TraceLine> RecordInTheField(const FieldPowerCase& c,
                                                  const std::filesystem::path& folder) {
  const auto tracePath = folder / "field.jsonl";
  ::setenv("DALVORN_TRACE", tracePath.c_str(), 1);
  emulator::EmulationClock clock;
  TraceWriter silent(nullptr, clock);
  emulator::EmulatedPlatform host(emulator::BuiltInScenario(), clock, silent, folder.string());
  DiskFirmwareImageFile image;
  FixedPowerGuard power(c.battery, c.holds);
  HeadlessView window;
  const int exitCode =
      RunProgram(window, host, image, power,
                 [&](WindowView& view, HidPlatform& platform, FirmwareImageFile& file,
                     PowerGuard& guard, const MainWindowHooks& hooks) {
                   const auto clickThenClose = [&] {
                     window.Click();
                     if (!window.unloaded) window.Unload();
                   };
                   return RunMainWindow(clickThenClose, view, platform, file, hooks, guard);
                 });
  ::unsetenv("DALVORN_TRACE");
  EXPECT_EQ(exitCode, c.exitCode);
  std::ifstream in(tracePath);
  std::ostringstream text;
  text << in.rdbuf();
  return Lines(text.str());
}

class FieldPowerTrace : public ::testing::TestWithParam<FieldPowerCase> {};

TEST_P(FieldPowerTrace, ReplaysAsItRanWithTheSamePowerLines) {
  const FieldPowerCase& c = GetParam();
  const auto folder = ImageFolder(std::string("field-power-") + c.name, 5 * 40 + 3);
  const auto recorded = RecordInTheField(c, folder);
  ASSERT_FALSE(PowerLinesOf(recorded).empty());

  const nlohmann::ordered_json scenario = emulator::ScenarioFromTrace(recorded);
  EXPECT_EQ(scenario.value("power", nlohmann::ordered_json()),
            nlohmann::ordered_json::parse(c.power));
  const auto replayed = RunEmulated(scenario.dump(), folder);
  EXPECT_EQ(replayed.back().value("code", -1), c.exitCode);
  EXPECT_EQ(PowerLinesOf(replayed), PowerLinesOf(recorded));
  EXPECT_EQ(emulator::CompareNormalised(emulator::NormaliseTrace(recorded),
                                        emulator::NormaliseTrace(replayed)),
            "");
}

INSTANTIATE_TEST_SUITE_P(Cases, FieldPowerTrace, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dalvorn::testing

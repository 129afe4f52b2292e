// A trace turned into a scenario replays to the same normalised trace, over hosts and devices
// that differ in every way the scenario can tell; and the real program's tracing decorator
// writes the very lines the emulated platform writes of itself.
#include <gtest/gtest.h>

#include <sstream>

#include "emulated_platform.h"
#include "emulated_power.h"
#include "emulation_clock.h"
#include "headless_program.h"
#include "replay_support.h"
#include "scenario.h"
#include "trace/tracing_platform.h"
#include "trace/tracing_power_guard.h"
#include "trace_normalise.h"

namespace dalvorn::testing {
namespace {

struct ReplayCase {
  const char* name;
  const char* scenario;
  int exitCode;
};

void PrintTo(const ReplayCase& c, std::ostream* os) {
  *os << c.name;
}

const ReplayCase kCases[] = {
    {"built_in_update", R"({"device": {"app_after_update": {"version": "0x0104"}}})", 0},
    {"from_bootloader_without_unlock", R"({"device": {"mode": "boot", "status": [3, 0]}})", 0},
    {"no_device_behind_others",
     R"({"interfaces": [{"vendor": "0x046D", "product": "0xC52B", "version": "0x1201"},
                        {"vendor": "0x1209", "product": "0x0007", "openable": false}],
         "device": {"present": false}})",
     0},
    {"device_between_interfaces",
     R"({"interfaces": [{"vendor": "0x046D", "product": "0xC31C"}, {"target": true},
                        {"vendor": "0x045E", "product": "0x0750", "version": "0x0110"}]})",
     0},
    {"refused_block", R"({"device": {"refuse_block": 3}})", 1},
    {"entry_message_fails_as_the_device_resets", R"({"device": {"boot_entry_fails": true}})", 0},
    {"status_read_fails", R"({"device": {"status_read_fails": true, "status": [0, 1]}})", 0},
    {"slow_to_leave_and_to_come_back",
     R"({"device": {"on_boot_entry": {"leave_after_ms": 50, "back_after_ms": 730, "as": "boot"},
                    "on_restart": {"leave_after_ms": 150, "back_after_ms": 1200, "as": "app"}}})",
     0},
    {"restarts_in_bootloader",
     R"({"device": {"on_restart": {"leave_after_ms": 0, "back_after_ms": 500, "as": "boot"}}})", 1},
    {"strings_of_every_kind",
     R"({"device": {"app": {"strings": {"manufacturer": "Dälvorn ✓ 𝄞",
                                         "product": {"utf16_hex": "410042000000"},
                                         "serial": null}}}})",
     0},
    {"long_string_cut_by_the_query",
     R"({"device": {"app": {"strings": {"product": "A product name far longer than the fifty units that one query asks for"}}}})",
     0},
    {"no_capabilities_and_no_second_open",
     R"({"device": {"caps_fail": true, "overlapped_open_fails": true}})", 2},
    {"a_vanishing_interface_first",
     R"({"interfaces": [{"vanishes": true}, {"vendor": "0x046D", "product": "0xC52B"}]})", 0},
    // Two devices at the load: the button stays disabled, the click sends nothing.
    {"a_second_device_found_first",
     R"({"interfaces": [{"vendor": "0x1209", "product": "0x0002"}, {"target": true}]})", 0},
    {"a_second_device_of_two_interfaces_after_it",
     R"({"interfaces": [{"target": true},
                        {"vendor": "0x1209", "product": "0x0001", "physical": "usb 1-3"},
                        {"vendor": "0x1209", "product": "0x0001", "physical": "usb 1-3"}]})",
     0},
    {"a_second_device_the_system_cannot_name",
     R"({"interfaces": [{"target": true},
                        {"vendor": "0x1209", "product": "0x0001", "physical": null}]})",
     0},
    {"one_device_with_two_interfaces",
     R"({"interfaces": [{"target": true},
                        {"vendor": "0x1209", "product": "0x0001", "physical": "target"}]})",
     0},
    {"comes_back_in_application_mode",
     R"({"device": {"on_boot_entry": {"back_after_ms": 400, "as": "app"}}})", 1},
    {"unplugged_during_a_block", R"({"device": {"unplug_at_block": 4}})", 1},
    {"low_battery", R"({"power": {"on_battery": true, "percentage": 24}})", 2},
    {"charge_unknown_and_hold_refused",
     R"({"power": {"on_battery": true, "percentage": null, "hold_refused": true}})", 0},
};

class Replay : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(Replay, OfADerivedScenarioLeavesTheSameNormalisedTrace) {
  const ReplayCase& c = GetParam();
  const auto folder = ImageFolder(c.name, 7 * 40 + 9);
  const auto recorded = RunEmulated(c.scenario, folder);
  ASSERT_EQ(recorded.back().value("code", -1), c.exitCode) << recorded.back().dump();
  EXPECT_EQ(ReplayDifference(recorded, folder), "");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Replay, ::testing::ValuesIn(kCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// The decorator over a platform that writes no trace of its own gives, line for line and with
// the same times, what that platform writes of itself.
TEST_P(Replay, TracingDecoratorWritesTheEmulatedPlatformsOwnLines) {
  const ReplayCase& c = GetParam();
  const auto folder = ImageFolder(std::string(c.name) + "-decorated", 3 * 40);
  const auto own = RunEmulated(c.scenario, folder);

  std::ostringstream text;
  emulator::EmulationClock clock;
  TraceWriter silent(nullptr, clock);
  TraceWriter trace(&text, clock);
  const emulator::Scenario scenario = emulator::ParseScenario(c.scenario);
  emulator::EmulatedPlatform inner(scenario, clock, silent, folder.string());
  TracingPlatform platform(inner, trace);
  emulator::EmulatedPowerGuard innerPower(scenario.power);
  TracingPowerGuard power(innerPower, trace);
  RunClickedProgram(platform, trace, {}, power);
  const auto decorated = Lines(text.str());

  std::vector<emulator::TraceLine> ownWithoutDevice;
  for (const auto& line : own) {
    if (line["ev"] != "device") ownWithoutDevice.push_back(line);
  }
  ASSERT_EQ(decorated.size(), ownWithoutDevice.size());
  for (std::size_t i = 0; i < decorated.size(); ++i) {
    EXPECT_EQ(decorated[i], ownWithoutDevice[i]) << "line " << i + 1;
  }
}

}  // namespace
}  // namespace dalvorn::testing

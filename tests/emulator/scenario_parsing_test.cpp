#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "scenario.h"

namespace dalvorn::emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

Scenario WithFirstInterface(const std::string& fields) {
  return ParseScenario(R"({"interfaces": [{)" + fields + "}]}");
}

struct NumberCase {
  std::string written;
  int expected;  // -1: the scenario is refused
};

class ScenarioNumbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ScenarioNumbers, AreReadAsNumbersOrHexOrDecimalStrings) {
  const NumberCase& c = GetParam();
  const std::string fields = "\"vendor\": " + c.written;
  if (c.expected < 0) {
    EXPECT_THROW(WithFirstInterface(fields), ScenarioError) << c.written;
  } else {
    EXPECT_EQ(WithFirstInterface(fields).interfaces.at(0).vendor, c.expected) << c.written;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScenarioNumbers,
    ::testing::Values(NumberCase{"4617", 0x1209}, NumberCase{"\"0x1209\"", 0x1209},
                      NumberCase{"\"0X00ff\"", 0xFF}, NumberCase{"\"4617\"", 0x1209},
                      NumberCase{"\"0xFFFF\"", 0xFFFF}, NumberCase{"\"010\"", 10},
                      NumberCase{"\"0x10000\"", -1}, NumberCase{"65536", -1}, NumberCase{"-1", -1},
                      NumberCase{"\"0x\"", -1}, NumberCase{"\"12z\"", -1}, NumberCase{"\"\"", -1},
                      NumberCase{"true", -1}, NumberCase{"1.5", -1}, NumberCase{"\"0x1209 \"", -1},
                      NumberCase{"-0", 0}, NumberCase{"\"0x00000000000000000001\"", 1},
                      NumberCase{"\"000000000000000000000042\"", 42}, NumberCase{"\"0x1FFFF\"", -1},
                      NumberCase{"\"0x1FFFFFFFFFFFFFFFF\"", -1},
                      NumberCase{"\"99999999999999999999\"", -1}, NumberCase{"\"-1\"", -1},
                      NumberCase{"\"+1\"", -1}, NumberCase{"\"0x-1\"", -1},
                      NumberCase{"18446744073709551616", -1}, NumberCase{"1e3", -1},
                      NumberCase{"1e309", -1}, NumberCase{"-1e309", -1},
                      NumberCase{"-9223372036854775809", -1}, NumberCase{"null", -1},
                      NumberCase{"[1]", -1}, NumberCase{"{}", -1}));

struct StringCase {
  std::string written;  // the value of "manufacturer"; empty: the key is left out
  std::optional<Bytes> expected;
  bool refused = false;
};

class ScenarioStrings : public ::testing::TestWithParam<StringCase> {};

TEST_P(ScenarioStrings, BecomeTheBytesTheQueryGives) {
  const StringCase& c = GetParam();
  const std::string fields =
      c.written.empty() ? R"("strings": {})" : R"("strings": {"manufacturer": )" + c.written + "}";
  if (c.refused) {
    EXPECT_THROW(WithFirstInterface(fields), ScenarioError) << c.written;
    return;
  }
  EXPECT_EQ(WithFirstInterface(fields).interfaces.at(0).strings.manufacturer, c.expected)
      << c.written;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScenarioStrings,
    ::testing::Values(
        StringCase{R"("AB")", Bytes{0x41, 0, 0x42, 0, 0, 0}}, StringCase{R"("")", Bytes{0, 0}},
        StringCase{"\"\xC3\xA9\"", Bytes{0xE9, 0, 0, 0}},                         // U+00E9
        StringCase{"\"\xE2\x82\xAC\"", Bytes{0xAC, 0x20, 0, 0}},                  // U+20AC
        StringCase{"\"\xF0\x9F\x98\x80\"", Bytes{0x3D, 0xD8, 0x00, 0xDE, 0, 0}},  // U+1F600
        StringCase{R"({"utf16_hex": "4100"})", Bytes{0x41, 0}},
        StringCase{R"({"utf16_hex": "410042"})", Bytes{0x41, 0x00, 0x42}},
        StringCase{R"({"utf16_hex": "aBcD"})", Bytes{0xAB, 0xCD}},
        StringCase{R"({"utf16_hex": ""})", Bytes{}}, StringCase{"null", std::nullopt},
        StringCase{"", std::nullopt}, StringCase{R"({"utf16_hex": "410"})", std::nullopt, true},
        StringCase{R"({"utf16_hex": "4g00"})", std::nullopt, true},
        StringCase{R"({"hex": "4100"})", std::nullopt, true},
        StringCase{"65", std::nullopt, true}));

TEST(ScenarioDefaults, AnEmptyScenarioIsOneDeviceInApplicationMode) {
  const Scenario s = ParseScenario("{}");
  EXPECT_TRUE(s.interfaces.empty());
  EXPECT_EQ(s.devicePosition, 0u);
  EXPECT_FALSE(s.reuseHandles);
  const DeviceScenario& d = s.device;
  EXPECT_TRUE(d.present);
  EXPECT_EQ(d.mode, DeviceMode::App);
  EXPECT_EQ(d.app.version, 0x0102);
  EXPECT_EQ(d.boot.version, 0x0100);
  EXPECT_EQ(d.app.reportLength, 41);
  EXPECT_EQ(d.boot.reportLength, 41);
  EXPECT_EQ(d.boot.strings.product, Utf16LeWithTerminator("Widget Boot"));
  EXPECT_EQ(d.status, (std::array<std::uint8_t, 2>{0, 1}));
  EXPECT_FALSE(d.statusReadFails);
  EXPECT_EQ(d.refuseBlock, 0u);
  EXPECT_EQ(d.onBootEntry.leaveAfterMs, 0);
  EXPECT_EQ(d.onBootEntry.backAfterMs, 300);
  EXPECT_EQ(d.onBootEntry.as, ComeBackAs::Boot);
  EXPECT_EQ(d.onRestart.backAfterMs, 800);
  EXPECT_EQ(d.onRestart.as, ComeBackAs::App);
  EXPECT_FALSE(d.capsFail);
  EXPECT_FALSE(d.overlappedOpenFails);
  EXPECT_FALSE(d.appAfterUpdate.has_value());
  // On a power supply with the battery full, and the hold granted.
  EXPECT_FALSE(s.power.onBattery);
  EXPECT_EQ(s.power.percentage, std::optional<std::uint8_t>(100));
  EXPECT_FALSE(s.power.holdRefused);
}

struct PowerCase {
  std::string written;  // the `power` object
  bool onBattery;
  std::optional<std::uint8_t> percentage;
  bool holdRefused;
};

class ScenarioPower : public ::testing::TestWithParam<PowerCase> {};

TEST_P(ScenarioPower, KeepsWhatItDoesNotName) {
  const PowerCase& c = GetParam();
  const PowerScenario p = ParseScenario(R"({"power": )" + c.written + "}").power;
  EXPECT_EQ(p.onBattery, c.onBattery) << c.written;
  EXPECT_EQ(p.percentage, c.percentage) << c.written;
  EXPECT_EQ(p.holdRefused, c.holdRefused) << c.written;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScenarioPower,
    ::testing::Values(PowerCase{"{}", false, 100, false},
                      PowerCase{R"({"on_battery": true, "percentage": 10})", true, 10, false},
                      PowerCase{R"({"percentage": null})", false, std::nullopt, false},
                      PowerCase{R"({"percentage": "0x19"})", false, 25, false},
                      PowerCase{R"({"percentage": 0, "hold_refused": true})", false, 0, true},
                      PowerCase{R"({"on_battery": true, "percentage": 100})", true, 100, false}));

TEST(ScenarioDefaults, APlainInterfaceDefaultsToZerosAndFailingStrings) {
  const PlainInterface p = WithFirstInterface("").interfaces.at(0);
  EXPECT_EQ(p.vendor, 0);
  EXPECT_EQ(p.product, 0);
  EXPECT_EQ(p.version, 0);
  EXPECT_EQ(p.reportLength, 0);
  EXPECT_TRUE(p.openable);
  EXPECT_FALSE(p.vanishes);
  EXPECT_FALSE(p.physical.has_value());
  EXPECT_FALSE(p.strings.manufacturer || p.strings.product || p.strings.serial);
}

TEST(ScenarioDevice, AModeGivenInPartKeepsTheOtherFields) {
  const Scenario s = ParseScenario(
      R"({"device": {"app": {"version": "0x0200", "strings": {"serial": "9"}},
                     "on_restart": {"as": "never"}}})");
  EXPECT_EQ(s.device.app.version, 0x0200);
  EXPECT_EQ(s.device.app.reportLength, 41);
  // A strings object replaces the strings as a whole: what it leaves out fails.
  EXPECT_FALSE(s.device.app.strings.manufacturer.has_value());
  EXPECT_EQ(s.device.app.strings.serial, Utf16LeWithTerminator("9"));
  EXPECT_EQ(s.device.onRestart.as, ComeBackAs::Never);
  EXPECT_EQ(s.device.onRestart.backAfterMs, 800);
}

TEST(ScenarioDevice, AppAfterUpdateOverlaysOnlyTheFieldsItNames) {
  const Scenario s = ParseScenario(R"({"device": {"app_after_update": {"version": 515}}})");
  ASSERT_TRUE(s.device.appAfterUpdate.has_value());
  const ModeIdentity updated = Overlay(s.device.app, *s.device.appAfterUpdate);
  EXPECT_EQ(updated.version, 515);
  EXPECT_EQ(updated.reportLength, s.device.app.reportLength);
  EXPECT_EQ(updated.strings.product, s.device.app.strings.product);
}

struct PositionCase {
  std::string interfaces;
  std::size_t plainCount;
  std::size_t devicePosition;
};

class ScenarioTarget : public ::testing::TestWithParam<PositionCase> {};

TEST_P(ScenarioTarget, MarksTheDevicesPlaceOrPutsItLast) {
  const Scenario s = ParseScenario(R"({"interfaces": )" + GetParam().interfaces + "}");
  EXPECT_EQ(s.interfaces.size(), GetParam().plainCount);
  EXPECT_EQ(s.devicePosition, GetParam().devicePosition);
}

INSTANTIATE_TEST_SUITE_P(Table, ScenarioTarget,
                         ::testing::Values(PositionCase{"[]", 0, 0},
                                           PositionCase{R"([{}, {}])", 2, 2},
                                           PositionCase{R"([{"target": true}, {}])", 1, 0},
                                           PositionCase{R"([{}, {"target": true}, {}])", 2, 1},
                                           PositionCase{R"([{}, {"target": false}])", 2, 2}));

TEST(ScenarioRefused, NamesTheFieldThatIsWrong) {
  const std::vector<std::pair<std::string, std::string>> table = {
      {R"({"interfaces": [{"target": true}, {"target": true}]})", "interfaces[1]"},
      {R"({"device": {"mode": "bootloader"}})", "device.mode"},
      {R"({"device": {"on_boot_entry": {"as": "later"}}})", "device.on_boot_entry.as"},
      {R"({"device": {"status": [0]}})", "device.status"},
      {R"({"device": {"status": [0, 256]}})", "device.status[1]"},
      {R"({"device": {"present": "yes"}})", "device.present"},
      {R"({"interfaces": [{"openable": 0}]})", "interfaces[0].openable"},
      {R"({"interfaces": {}})", "interfaces"},
      {R"([1, 2])", "scenario"},
      {R"({"device": )", "JSON"},
      {R"({"device": {"refuse_block": 1e309}})", "too large"},
      {"{\"interfaces\": [{\"strings\": {\"serial\": \"\xFF\"}}]}", "JSON"},
      {R"({"interfaces": [{"report_length": 70000}]})", "interfaces[0].report_length"},
      {R"({"interfaces": [{"report_length": "0x10000"}]})", "interfaces[0].report_length"},
      {R"({"interfaces": [{"report_length": -41}]})", "interfaces[0].report_length"},
      {R"({"device": {"app": {"report_length": 1e20}}})", "device.app.report_length"},
      {R"({"device": {"boot": {"version": "0x"}}})", "device.boot.version"},
      {R"({"device": {"app_after_update": {"version": "0x1FFFF"}}})",
       "device.app_after_update.version"},
      {R"({"device": {"refuse_block": 4294967296}})", "device.refuse_block"},
      {R"({"device": {"unplug_at_block": -1}})", "device.unplug_at_block"},
      {R"({"interfaces": [{"physical": ""}]})", "interfaces[0].physical"},
      {R"({"interfaces": [{"physical": 3}]})", "interfaces[0].physical"},
      {R"({"device": {"on_restart": {"back_after_ms": -5}}})", "device.on_restart.back_after_ms"},
      {R"({"device": {"on_boot_entry": {"leave_after_ms": 1e400}}})", "too large"},
      {R"({"device": {"status": [0, "0x100"]}})", "device.status[1]"},
      {R"({"device": {"status": "0001"}})", "device.status"},
      {R"({"interfaces": [5]})", "interfaces[0]"},
      {R"({"interfaces": [{"strings": "Other"}]})", "interfaces[0].strings"},
      {R"({"interfaces": [{"strings": {"product": 7}}]})", "interfaces[0].strings.product"},
      {R"({"interfaces": [{"target": 1}]})", "interfaces[0].target"},
      {R"({"device": {"app": []}})", "device.app"},
      {R"({"device": {"on_restart": null}})", "device.on_restart"},
      {R"({"device": {"mode": 1}})", "device.mode"},
      {R"({"device": 1})", "device"},
      {R"({"reuse_handles": "true"})", "reuse_handles"},
      {R"({"power": true})", "power"},
      {R"({"power": {"on_battery": "yes"}})", "power.on_battery"},
      {R"({"power": {"percentage": 101}})", "power.percentage"},
      {R"({"power": {"percentage": -1}})", "power.percentage"},
      {R"({"power": {"percentage": 12.5}})", "power.percentage"},
      {R"({"power": {"percentage": "full"}})", "power.percentage"},
      {R"({"power": {"hold_refused": 1}})", "power.hold_refused"},
      {R"({"device": {"plugged_at_ms": -1}})", "device.plugged_at_ms"},
      {R"({"device": {"present": false, "plugged_at_ms": 5}})", "device.plugged_at_ms"},
      {R"({"device": {"plugged_at_ms": 5, "unplugged_at_ms": 5}})", "device.unplugged_at_ms"},
      {R"({"interfaces": [{"plugged_at_ms": "soon"}]})", "interfaces[0].plugged_at_ms"},
      {R"({"interfaces": [{"unplugged_at_ms": 4294967296}]})", "interfaces[0].unplugged_at_ms"},
      {R"({"program_folder": {}})", "program_folder"},
      {R"({"program_folder": [{"copy": "a.bin"}]})", "program_folder[0]"},
      {R"({"program_folder": [{"at_ms": 1, "copy": "a", "remove": "b"}]})", "program_folder[0]"},
      {R"({"program_folder": [{"at_ms": 1, "copy": "../x.bin"}]})", "program_folder[0].copy"},
      {R"({"program_folder": [{"at_ms": 1, "copy": "a", "to": "d\\V.bin"}]})",
       "program_folder[0].to"},
      {R"({"program_folder": [{"at_ms": 1, "remove": ".."}]})", "program_folder[0].remove"},
  };
  for (const auto& [text, field] : table) {
    try {
      ParseScenario(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const ScenarioError& e) {
      EXPECT_NE(std::string(e.what()).find(field), std::string::npos) << e.what();
    }
  }
}

TEST(ScenarioRefused, AFileThatCannotBeReadIsAScenarioError) {
  for (const std::string path : {"/nonexistent/scenario.json", ".", ""}) {
    EXPECT_THROW(LoadScenarioFile(path), ScenarioError) << path;
  }
}

}  // namespace
}  // namespace dalvorn::emulator

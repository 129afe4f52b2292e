// The value labels after the load and while the device comes and goes.
#include <gtest/gtest.h>

#include "emulated_host.h"

namespace dalvorn::testing {
namespace {

struct DisplayCase {
  const char* name;
  const char* scenario;
  const char* manuf;
  const char* product;
  const char* version;
  const char* serial;
};

TEST(DeviceDisplay, ShowsWhatTheDeviceReportsAfterLoad) {
  const DisplayCase cases[] = {
      {"all strings",
       R"({"device": {"app": {"version": "0x0102", "strings": {"manufacturer": "Dalvorn",
            "product": "Widget", "serial": "0001"}}}})",
       " Dalvorn", " Widget", " 1.2", " 0001"},
      {"no device", R"({"device": {"present": false}})", "", "", " ", ""},
      {"manufacturer fails: no version either",
       R"({"device": {"app": {"version": "0x0102", "strings": {"product": "P",
            "serial": "S"}}}})",
       "", " P", "", " S"},
      {"product shorter than manufacturer",
       R"({"device": {"app": {"strings": {"manufacturer": "Manufacturer", "product": "Pro",
            "serial": "1"}}}})",
       " Manufacturer", " Pro", " 1.2", " 1"},
      {"non-Latin text shown as it is",
       R"({"device": {"app": {"strings": {"manufacturer": "Ĉapek Ōsaka 漢字",
            "product": "Ā", "serial": "№5"}}}})",
       " Ĉapek Ōsaka 漢字", " Ā", " 1.2", " №5"},
      {"unterminated product reads on into the manufacturer's bytes",
       R"({"device": {"app": {"strings": {"manufacturer": "Dalvorn",
            "product": {"utf16_hex": "58005900"}, "serial": "1"}}}})",
       " Dalvorn", " XYlvorn", " 1.2", " 1"},
      {"the second open fails: every query fails", R"({"device": {"overlapped_open_fails": true}})",
       "", "", "", ""},
  };
  for (const DisplayCase& c : cases) {
    SCOPED_TRACE(c.name);
    EmulatedHost host(c.scenario);
    host.Load();
    EXPECT_EQ(host.Label(Control::lblManuf), c.manuf);
    EXPECT_EQ(host.Label(Control::lblProduct), c.product);
    EXPECT_EQ(host.Label(Control::lblVersion), c.version);
    EXPECT_EQ(host.Label(Control::lblSerialNumber), c.serial);
  }
}

TEST(DeviceDisplay, ALongStringShowsItsFirstFiftyCharacters) {
  const std::string sixty(60, 'x');
  EmulatedHost host(R"({"device": {"app": {"strings": {"manufacturer": ")" + sixty +
                    R"(", "product": "p", "serial": "s"}}}})");
  host.Load();
  EXPECT_EQ(host.Label(Control::lblManuf), " " + std::string(50, 'x'));
}

TEST(DeviceDisplay, LoadShowsTheWindowBeforeTheSearchAndHidesTheBar) {
  EmulatedHost host(R"({"device": {}})");
  host.Load();
  const auto trace = host.Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace[0]["ev"], "window");
  EXPECT_EQ(trace[0]["op"], "show");
  EXPECT_EQ(trace[1]["op"], "visible");
  EXPECT_EQ(trace[1]["control"], "Pic");
  EXPECT_EQ(trace[1]["value"], false);
  EXPECT_EQ(host.frm.ProgressFullWidth(), 5055);
}

TEST(DeviceDisplay, LabelsBlankWhileTheDeviceIsAwayAndRefillInItsNewMode) {
  EmulatedHost host(R"({"device": {
      "app": {"version": "0x0102", "strings": {"manufacturer": "Dalvorn", "product": "Widget",
              "serial": "0001"}},
      "boot": {"version": "0x0100", "strings": {"manufacturer": "Dalvorn",
               "product": "Widget Boot"}}}})",
                    400);
  host.Load();
  host.Click();
  // The serial query fails in bootloader mode: its label keeps what the last call wrote,
  // which is the blank of a poll made while the device was away.
  std::vector<std::string> serials;
  for (const json& line : host.Events("window")) {
    if (line["op"] == "label" && line["control"] == "lblSerialNumber") {
      serials.push_back(line["text"]);
    }
  }
  ASSERT_GE(serials.size(), 3u);
  EXPECT_EQ(serials.front(), " 0001");
  EXPECT_EQ(serials[1], "");
  bool sawBootProduct = false;
  for (const json& line : host.Events("window")) {
    if (line["op"] == "label" && line["text"] == " Widget Boot") sawBootProduct = true;
  }
  EXPECT_TRUE(sawBootProduct);
}

}  // namespace
}  // namespace dalvorn::testing

// The device leaving and coming back on the virtual clock, as searches made at given times
// see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/device_codes.h"
#include "platform_host.h"

namespace dalvorn::emulator {
namespace {

using testing::PrintTo;

using testing::PlatformHost;
using testing::Report;

std::vector<std::uint8_t> BootEntry() {
  return {BootEntryCode.begin(), BootEntryCode.end()};
}

// What a search made now finds: "app", "boot" or "absent".
std::string Seen(PlatformHost& host) {
  for (const std::string& path : host.Enumerate()) {
    if (path == EmulatedPlatform::DevicePath(DeviceMode::App)) return "app";
    if (path == EmulatedPlatform::DevicePath(DeviceMode::Boot)) return "boot";
  }
  return "absent";
}

struct Probe {
  std::int64_t t;
  std::string seen;
};

struct TimelineCase {
  std::string name;
  std::string onBootEntry;
  std::vector<Probe> probes;  // in increasing time
};

class BootEntryTimeline : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(BootEntryTimeline, SearchesSeeTheDeviceAsTheTimelineSays) {
  const TimelineCase& c = GetParam();
  PlatformHost host(R"({"device": {"on_boot_entry": )" + c.onBootEntry + "}}");
  host.platform.Sleep(1000);  // the message is taken at T = 1000
  const Handle handle = host.OpenDevice();
  ASSERT_EQ(host.Send(handle, Report(41, BootEntry())), 1);
  for (const Probe& probe : c.probes) {
    const std::int64_t wait = 1000 + probe.t - host.clock.NowMs();
    ASSERT_GE(wait, 0);
    host.platform.Sleep(static_cast<std::uint32_t>(wait));
    EXPECT_EQ(Seen(host), probe.seen) << "at T + " << probe.t;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BootEntryTimeline,
    ::testing::Values(
        TimelineCase{"LeavesAtOnce",
                     R"({"leave_after_ms": 0, "back_after_ms": 300})",
                     {{0, "absent"}, {299, "absent"}, {300, "boot"}, {5000, "boot"}}},
        TimelineCase{"StaysAWhile",
                     R"({"leave_after_ms": 50, "back_after_ms": 100, "as": "boot"})",
                     {{0, "app"}, {49, "app"}, {50, "absent"}, {149, "absent"}, {150, "boot"}}},
        TimelineCase{"ComesBackInApplicationMode",
                     R"({"leave_after_ms": 0, "back_after_ms": 10, "as": "app"})",
                     {{9, "absent"}, {10, "app"}}},
        TimelineCase{"NeverComesBack",
                     R"({"leave_after_ms": 20, "back_after_ms": 0, "as": "never"})",
                     {{19, "app"}, {20, "absent"}, {100000, "absent"}}},
        TimelineCase{
            "NoAbsenceAtAll", R"({"leave_after_ms": 0, "back_after_ms": 0})", {{0, "boot"}}}),
    [](const auto& instance) { return instance.param.name; });

TEST(DeviceEvents, ALeaveAndAnArrivalDuringOnePauseFollowItWithTheirOwnTimes) {
  PlatformHost host(
      R"({"device": {"on_boot_entry": {"leave_after_ms": 30, "back_after_ms": 40}}})");
  host.platform.Sleep(10);
  host.Send(host.OpenDevice(), Report(41, BootEntry()));
  host.platform.Sleep(100);
  const auto lines = host.Lines();
  ASSERT_GE(lines.size(), 3u);
  const auto n = lines.size();
  EXPECT_EQ(lines[n - 3]["fn"], "Sleep");
  EXPECT_EQ(lines[n - 3]["t"], 10);
  EXPECT_EQ(lines[n - 2]["ev"], "device");
  EXPECT_EQ(lines[n - 2]["op"], "left");
  EXPECT_EQ(lines[n - 2]["t"], 40);
  EXPECT_EQ(lines[n - 1]["op"], "arrived");
  EXPECT_EQ(lines[n - 1]["mode"], "boot");
  EXPECT_EQ(lines[n - 1]["t"], 80);
}

TEST(DeviceEvents, AnImmediateLeaveFollowsTheCallThatCausedIt) {
  PlatformHost host("{}");
  host.Send(host.OpenDevice(), Report(41, BootEntry()));
  const auto lines = host.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2]["fn"], "HidD_SetFeature");
  EXPECT_EQ(lines.back()["op"], "left");
}

// Plugging in and unplugging, of the device and of a plain interface, on the clock alone.
struct PlugProbe {
  std::int64_t t;
  std::string seen;  // the device: "app", "boot" or "absent"
  bool plainListed;  // the plain interface
};

struct PlugCase {
  std::string name;
  std::string scenario;
  std::vector<PlugProbe> probes;  // in increasing time
};

class PlugTimeline : public ::testing::TestWithParam<PlugCase> {};

TEST_P(PlugTimeline, SearchesSeeWhatIsPluggedInAtTheirTime) {
  PlatformHost host(GetParam().scenario);
  for (const PlugProbe& probe : GetParam().probes) {
    host.platform.Sleep(static_cast<std::uint32_t>(probe.t - host.clock.NowMs()));
    EXPECT_EQ(Seen(host), probe.seen) << "at " << probe.t;
    const auto paths = host.Enumerate();
    const bool listed =
        std::find(paths.begin(), paths.end(), host.platform.PlainPath(0)) != paths.end();
    EXPECT_EQ(listed, probe.plainListed) << "at " << probe.t;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlugTimeline,
    ::testing::Values(
        PlugCase{"DevicePluggedInBootloaderMode",
                 R"({"interfaces": [{}], "device": {"mode": "boot", "plugged_at_ms": 5000}})",
                 {{0, "absent", true}, {4999, "absent", true}, {5000, "boot", true}}},
        PlugCase{"DeviceUnplugged",
                 R"({"interfaces": [{}], "device": {"unplugged_at_ms": 200}})",
                 {{199, "app", true}, {200, "absent", true}, {100000, "absent", true}}},
        PlugCase{"PlainInterfacePluggedThenUnplugged",
                 R"({"interfaces": [{"plugged_at_ms": 100, "unplugged_at_ms": 300}]})",
                 {{99, "app", false}, {100, "app", true}, {299, "app", true}, {300, "app", false}}},
        PlugCase{"SecondInterfaceOfALateDevice",
                 R"({"interfaces": [{"physical": "target"}], "device": {"plugged_at_ms": 50}})",
                 {{49, "absent", false}, {50, "app", true}}}),
    [](const auto& instance) { return instance.param.name; });

TEST(PlugTimeline, UnpluggedDuringItsSwitchTheDeviceNeverComesBack) {
  PlatformHost host(R"({"device": {"unplugged_at_ms": 100,
                                    "on_boot_entry": {"leave_after_ms": 50, "back_after_ms": 50}}})");
  host.Send(host.OpenDevice(), Report(41, BootEntry()));
  host.platform.Sleep(1000);
  EXPECT_EQ(Seen(host), "absent");
  std::vector<std::string> events;
  for (const auto& line : host.Lines()) {
    if (line["ev"] == "device")
      events.push_back(line["op"].get<std::string>() + "@" + std::to_string(line["t"].get<int>()));
  }
  EXPECT_EQ(events, (std::vector<std::string>{"left@50"}));
}

TEST(PlugTimeline, HandlesToAnUnpluggedInterfaceFailAsToADeviceThatHasGone) {
  PlatformHost host(R"({"interfaces": [{"vendor": 1, "unplugged_at_ms": 10}],
                        "device": {"plugged_at_ms": 5, "unplugged_at_ms": 10}})");
  host.platform.Sleep(5);
  const Handle handles[] = {host.Open(host.platform.PlainPath(0)), host.OpenDevice()};
  host.platform.Sleep(5);
  for (const Handle handle : handles) {
    HiddAttributes attributes;
    EXPECT_EQ(host.platform.HidD_GetAttributes(handle, attributes), 0);
    EXPECT_EQ(host.platform.LastErrorCode(), ErrorDeviceNotConnected);
    EXPECT_EQ(host.platform.CloseHandle(handle), 1);
  }
  EXPECT_EQ(host.Open(host.platform.PlainPath(0)), InvalidHandle);
  const auto lines = host.Lines();
  EXPECT_EQ(lines[1]["op"], "arrived");  // after the first pause, at its own time
  EXPECT_EQ(lines[1]["t"], 5);
}

// In bootloader mode the device restarts once every handle to it is closed after a status read.
struct RestartCase {
  std::string name;
  bool readStatus;
  bool readFails;
  int handlesClosed;  // of the two opened
  bool restarts;
};

class BootloaderRestart : public ::testing::TestWithParam<RestartCase> {};

TEST_P(BootloaderRestart, FollowsTheLastCloseAfterAStatusRead) {
  const RestartCase& c = GetParam();
  PlatformHost host(std::string(R"({"device": {"mode": "boot", "status_read_fails": )") +
                    (c.readFails ? "true" : "false") +
                    R"(, "on_restart": {"leave_after_ms": 0, "back_after_ms": 800}}})");
  const Handle handles[2] = {host.OpenDevice(), host.OpenDevice(true)};
  if (c.readStatus) {
    std::vector<std::uint8_t> status(41, 0);
    host.platform.HidD_GetFeature(handles[0], status.data(), 41);
  }
  for (int i = 0; i < c.handlesClosed; ++i) EXPECT_EQ(host.platform.CloseHandle(handles[i]), 1);
  EXPECT_EQ(Seen(host), c.restarts ? "absent" : "boot");
  host.platform.Sleep(800);
  EXPECT_EQ(Seen(host), c.restarts ? "app" : "boot");
}

INSTANTIATE_TEST_SUITE_P(
    Table, BootloaderRestart,
    ::testing::Values(RestartCase{"AfterReadAndBothClosed", true, false, 2, true},
                      RestartCase{"AFailedReadCounts", true, true, 2, true},
                      RestartCase{"NotWhileAHandleIsOpen", true, false, 1, false},
                      RestartCase{"NotWithoutARead", false, false, 2, false}),
    [](const auto& instance) { return instance.param.name; });

TEST(BootloaderRestart, AReadOnAnEarlierAppearanceDoesNotCountAfterComingBack) {
  PlatformHost host(
      R"({"device": {"mode": "boot", "on_restart": {"back_after_ms": 10, "as": "boot"}}})");
  Handle h = host.OpenDevice();
  std::vector<std::uint8_t> status(41, 0);
  host.platform.HidD_GetFeature(h, status.data(), 41);
  host.platform.CloseHandle(h);
  host.platform.Sleep(10);
  ASSERT_EQ(Seen(host), "boot");
  h = host.OpenDevice();
  host.platform.CloseHandle(h);
  EXPECT_EQ(Seen(host), "boot");
}

struct UpdatedCase {
  std::string name;
  int blocks;
  std::uint16_t versionAfter;
};

class ApplicationAfterUpdate : public ::testing::TestWithParam<UpdatedCase> {};

TEST_P(ApplicationAfterUpdate, ShowsTheNewFieldsOnlyAfterTakingABlock) {
  PlatformHost host(
      R"({"device": {"mode": "boot", "app_after_update": {"version": "0x0200"},
          "on_restart": {"back_after_ms": 5}}})");
  const Handle h = host.OpenDevice();
  for (int i = 0; i < GetParam().blocks; ++i) host.Send(h, Report(41, {1, 2, 3}));
  std::vector<std::uint8_t> status(41, 0);
  host.platform.HidD_GetFeature(h, status.data(), 41);
  host.platform.CloseHandle(h);
  host.platform.Sleep(5);
  const Handle back = host.OpenDevice();
  HiddAttributes attributes;
  ASSERT_EQ(host.platform.HidD_GetAttributes(back, attributes), 1);
  EXPECT_EQ(attributes.ProductID, AppProductID);
  EXPECT_EQ(attributes.VersionNumber, GetParam().versionAfter);
}

INSTANTIATE_TEST_SUITE_P(Table, ApplicationAfterUpdate,
                         ::testing::Values(UpdatedCase{"NoBlock", 0, 0x0102},
                                           UpdatedCase{"OneBlock", 1, 0x0200}),
                         [](const auto& instance) { return instance.param.name; });

}  // namespace
}  // namespace dalvorn::emulator

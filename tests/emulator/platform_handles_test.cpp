// Handle values, interface paths and what handles to a departed device still do.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "device/device_codes.h"
#include "platform_host.h"

namespace dalvorn::emulator {
namespace {

using testing::PrintTo;

using testing::PlatformHost;
using testing::Report;

constexpr const char* kHostWithPlainInterfaces = R"({"interfaces": [
    {"vendor": "0x046D", "product": "0xC52B"},
    {"vendor": "0x1209", "product": "0x0001"},
    {"target": true},
    {"vendor": "0x1209", "product": "0x0002", "openable": false}]})";

TEST(Handles, AreUniquePositiveAndNeverReused) {
  PlatformHost host(kHostWithPlainInterfaces);
  std::set<Handle> seen;
  const auto note = [&](Handle h) {
    EXPECT_GT(h, 0);
    EXPECT_TRUE(seen.insert(h).second) << "handle " << h << " handed out twice";
  };
  for (int round = 0; round < 20; ++round) {
    Guid guid;
    host.platform.HidD_GetHidGuid(guid);
    const Handle set = host.platform.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
    note(set);
    const Handle file = host.OpenDevice();
    note(file);
    Handle preparsed = 0;
    ASSERT_EQ(host.platform.HidD_GetPreparsedData(file, preparsed), 1);
    note(preparsed);
    host.platform.HidD_FreePreparsedData(preparsed);
    host.platform.CloseHandle(file);
    host.platform.SetupDiDestroyDeviceInfoList(set);
  }
  EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
}

TEST(Handles, TheReuseHookHandsAClosedValueOutAgain) {
  PlatformHost host(R"({"reuse_handles": true})");
  const Handle first = host.OpenDevice();
  ASSERT_EQ(host.platform.CloseHandle(first), 1);
  const Handle second = host.OpenDevice();
  EXPECT_EQ(second, first);
  // A second close of the old value now hits the new object: the hazard a caller must avoid.
  EXPECT_EQ(host.platform.CloseHandle(first), 1);
  EXPECT_EQ(host.platform.OpenObjectCount(), 0u);
}

TEST(Handles, ClosingWhatIsNoOpenFileFailsAndTouchesNothing) {
  PlatformHost host("{}");
  const Handle open = host.OpenDevice();
  const Handle closed = host.OpenDevice(true);
  ASSERT_EQ(host.platform.CloseHandle(closed), 1);
  Guid guid;
  host.platform.HidD_GetHidGuid(guid);
  const Handle set = host.platform.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
  Handle preparsed = 0;
  ASSERT_EQ(host.platform.HidD_GetPreparsedData(open, preparsed), 1);
  const std::size_t before = host.platform.OpenObjectCount();

  for (const Handle h : {Handle{0}, InvalidHandle, closed, set, preparsed, Handle{999999}}) {
    EXPECT_EQ(host.platform.CloseHandle(h), 0) << h;
  }
  EXPECT_EQ(host.platform.OpenObjectCount(), before);
  HiddAttributes attributes;
  EXPECT_EQ(host.platform.HidD_GetAttributes(open, attributes), 1);
  EXPECT_EQ(host.platform.HidD_FreePreparsedData(preparsed), 1);
  EXPECT_EQ(host.platform.HidD_FreePreparsedData(preparsed), 0);
  EXPECT_EQ(host.platform.SetupDiDestroyDeviceInfoList(set), 1);
  EXPECT_EQ(host.platform.SetupDiDestroyDeviceInfoList(set), 0);
}

TEST(Paths, EveryInterfaceHasItsOwnAsciiPathAndTheDeviceOnePerMode) {
  PlatformHost host(kHostWithPlainInterfaces);
  std::vector<std::string> paths = host.Enumerate();
  ASSERT_EQ(paths.size(), 4u);
  EXPECT_EQ(paths[2], EmulatedPlatform::DevicePath(DeviceMode::App));
  paths.push_back(EmulatedPlatform::DevicePath(DeviceMode::Boot));
  std::set<std::string> distinct;
  for (const std::string& path : paths) {
    EXPECT_FALSE(path.empty());
    for (const char c : path) EXPECT_TRUE(c > 0x20 && c < 0x7F) << path;
    distinct.insert(path);
  }
  EXPECT_EQ(distinct.size(), paths.size());
}

TEST(Paths, OpenOnlyWhatIsThereAndOpenable) {
  PlatformHost host(kHostWithPlainInterfaces);
  const std::vector<std::string> paths = host.Enumerate();
  EXPECT_GT(host.Open(paths[0]), 0);
  EXPECT_GT(host.Open(paths[1]), 0);
  EXPECT_GT(host.Open(paths[2]), 0);
  EXPECT_EQ(host.Open(paths[3]), InvalidHandle);  // held exclusively
  EXPECT_EQ(host.Open(EmulatedPlatform::DevicePath(DeviceMode::Boot)), InvalidHandle);
  EXPECT_EQ(host.Open(""), InvalidHandle);
  EXPECT_EQ(host.Open(paths[0] + "x"), InvalidHandle);
  EXPECT_EQ(host.platform.CreateFileA(nullptr, 0, 0, nullptr, OpenExisting, 0, 0), InvalidHandle);
}

TEST(Paths, AnAbsentDeviceIsNeitherListedNorOpened) {
  PlatformHost host(R"({"interfaces": [{"vendor": 1}], "device": {"present": false}})");
  EXPECT_EQ(host.Enumerate().size(), 1u);
  EXPECT_EQ(host.Open(EmulatedPlatform::DevicePath(DeviceMode::App)), InvalidHandle);
}

TEST(Paths, OfPlainInterfacesStayAsTracesShowThemAndOpenTheirOwnInterface) {
  Scenario scenario;
  for (int i = 0; i < 70000; ++i) {
    PlainInterface plain;
    plain.vendor = 0x046D;
    plain.product = static_cast<std::uint16_t>(i);
    scenario.interfaces.push_back(plain);
  }
  scenario.devicePosition = 1;
  PlatformHost host(scenario);
  const std::string suffix = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  EXPECT_EQ(host.platform.PlainPath(0), "\\\\?\\hid#vid_046d&pid_0000#7&3a1c00&0&0000" + suffix);
  EXPECT_EQ(host.platform.PlainPath(69999),
            "\\\\?\\hid#vid_046d&pid_116f#7&3b2d6f&0&1116f" + suffix);
  for (const std::size_t i : {0, 1, 4097, 65536, 69999}) {
    HiddAttributes attributes;
    ASSERT_EQ(host.platform.HidD_GetAttributes(host.Open(host.platform.PlainPath(i)), attributes),
              1);
    EXPECT_EQ(attributes.ProductID, static_cast<std::uint16_t>(i));
  }
}

// Every operation on a handle to a device that has left fails; closing it succeeds.
struct DeadHandleOp {
  std::string name;
  std::function<std::int32_t(HidPlatform&, Handle)> call;
};

class HandleToADepartedDevice : public ::testing::TestWithParam<DeadHandleOp> {};

TEST_P(HandleToADepartedDevice, FailsEveryOperation) {
  for (const bool cameBack : {false, true}) {
    PlatformHost host(R"({"device": {"on_boot_entry": {"back_after_ms": 300}}})");
    const Handle old = host.OpenDevice();
    const Handle oldOverlapped = host.OpenDevice(true);
    ASSERT_EQ(GetParam().call(host.platform, old), 1) << "before it left";
    host.Send(old, Report(41, {BootEntryCode.begin(), BootEntryCode.end()}));
    if (cameBack) host.platform.Sleep(300);
    ASSERT_EQ(host.platform.Device().Present(), cameBack);
    EXPECT_EQ(GetParam().call(host.platform, old), 0) << (cameBack ? "came back" : "left");
    EXPECT_EQ(GetParam().call(host.platform, oldOverlapped), 0);
    EXPECT_EQ(host.platform.CloseHandle(old), 1);
    EXPECT_EQ(host.platform.CloseHandle(oldOverlapped), 1);
    EXPECT_EQ(host.platform.CloseHandle(old), 0);
  }
}

std::int32_t GetAttributes(HidPlatform& p, Handle h) {
  HiddAttributes a;
  return p.HidD_GetAttributes(h, a);
}
std::int32_t GetPreparsed(HidPlatform& p, Handle h) {
  Handle preparsed = 0;
  return p.HidD_GetPreparsedData(h, preparsed);
}
std::int32_t SetFeature(HidPlatform& p, Handle h) {
  std::vector<std::uint8_t> report(41, 0);
  return p.HidD_SetFeature(h, report.data(), 41);
}
std::int32_t GetFeature(HidPlatform& p, Handle h) {
  std::vector<std::uint8_t> report(41, 0);
  return p.HidD_GetFeature(h, report.data(), 41);
}
std::int32_t GetManufacturer(HidPlatform& p, Handle h) {
  std::uint8_t text[100];
  return p.HidD_GetManufacturerString(h, text, 100);
}
std::int32_t GetProduct(HidPlatform& p, Handle h) {
  std::uint8_t text[100];
  return p.HidD_GetProductString(h, text, 100);
}
std::int32_t GetSerial(HidPlatform& p, Handle h) {
  std::uint8_t text[100];
  return p.HidD_GetSerialNumberString(h, text, 100);
}

INSTANTIATE_TEST_SUITE_P(Table, HandleToADepartedDevice,
                         ::testing::Values(DeadHandleOp{"Attributes", GetAttributes},
                                           DeadHandleOp{"PreparsedData", GetPreparsed},
                                           DeadHandleOp{"SetFeature", SetFeature},
                                           DeadHandleOp{"GetFeature", GetFeature},
                                           DeadHandleOp{"Manufacturer", GetManufacturer},
                                           DeadHandleOp{"Product", GetProduct},
                                           DeadHandleOp{"Serial", GetSerial}),
                         [](const auto& instance) { return instance.param.name; });

TEST(Capabilities, ComeFromTheModeTheDeviceWasOpenedIn) {
  PlatformHost host(R"({"device": {"mode": "boot", "boot": {"report_length": 65}}})");
  const Handle h = host.OpenDevice();
  Handle preparsed = 0;
  ASSERT_EQ(host.platform.HidD_GetPreparsedData(h, preparsed), 1);
  HidpCaps caps;
  EXPECT_EQ(host.platform.HidP_GetCaps(preparsed, caps), HidpStatusSuccess);
  EXPECT_EQ(caps.FeatureReportByteLength, 65);
  ASSERT_EQ(host.platform.HidD_FreePreparsedData(preparsed), 1);
  caps.FeatureReportByteLength = 7;
  EXPECT_EQ(host.platform.HidP_GetCaps(preparsed, caps), 0);
  EXPECT_EQ(caps.FeatureReportByteLength, 7);
}

TEST(Capabilities, CapsFailAndOverlappedOpenFailTouchOnlyTheDevice) {
  PlatformHost host(R"({"interfaces": [{"report_length": 9}],
                        "device": {"caps_fail": true, "overlapped_open_fails": true}})");
  const Handle device = host.OpenDevice();
  ASSERT_GT(device, 0);
  Handle preparsed = 0;
  EXPECT_EQ(host.platform.HidD_GetPreparsedData(device, preparsed), 0);
  EXPECT_EQ(preparsed, 0);
  EXPECT_EQ(host.OpenDevice(true), InvalidHandle);
  const Handle plain = host.Open(host.platform.PlainPath(0), true);
  ASSERT_GT(plain, 0);
  EXPECT_EQ(host.platform.HidD_GetPreparsedData(plain, preparsed), 1);
}

}  // namespace
}  // namespace dalvorn::emulator

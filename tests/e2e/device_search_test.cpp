// The device search over emulated hosts: which interface it opens, what it leaves open, and
// what it never touches.
#include <gtest/gtest.h>

#include "device/device_codes.h"
#include "device/find_the_hid.h"
#include "emulated_host.h"

namespace dalvorn::testing {
namespace {

// The paths that CreateFileA was called with, in order, and whether each open succeeded.
std::vector<std::pair<std::string, bool>> Opens(const EmulatedHost& host) {
  std::vector<std::pair<std::string, bool>> opens;
  for (const json& call : host.Calls("CreateFileA")) {
    opens.emplace_back(call["path"], call["result"] != -1);
  }
  return opens;
}

TEST(DeviceSearch, NoInterfaceMakesOneEnumerationStepAndKeepsTheHandles) {
  EmulatedHost host(R"({"interfaces": [], "device": {"present": false}})");
  host.Session().DeviceHandle = 1234;
  host.Session().OverlappedHandle = 5678;
  EXPECT_FALSE(FindTheHid(host.Session(), host.platform));
  EXPECT_TRUE(host.Session().Search.EnumExhausted);
  EXPECT_EQ(host.Calls("SetupDiEnumDeviceInterfaces").size(), 1u);
  EXPECT_EQ(host.Session().DeviceHandle, 1234);
  EXPECT_EQ(host.Session().OverlappedHandle, 5678);
  EXPECT_EQ(host.Calls("SetupDiDestroyDeviceInfoList").size(), 1u);
}

struct SearchCase {
  const char* name;
  const char* scenario;
  bool found;
  std::uint16_t product;        // when found
  std::size_t opens;            // CreateFileA calls, the overlapped open included
  std::size_t handlesLeftOpen;  // after the search
};

TEST(DeviceSearch, OpensTheFirstMatchingInterfaceOnly) {
  const SearchCase cases[] = {
      {"device alone in application mode", R"({"device": {}})", true, AppProductID, 2, 2},
      {"device alone in bootloader mode", R"({"device": {"mode": "boot"}})", true, BootProductID, 2,
       2},
      {"others first are opened and closed",
       R"({"interfaces": [{"vendor": "0x046D", "product": "0xC52B"},
                          {"vendor": "0x1208", "product": "0x0001"},
                          {"vendor": "0x1209", "product": "0x0003"},
                          {"vendor": "0x0001", "product": "0x1209"},
                          {"target": true}]})",
       true, AppProductID, 6, 2},
      {"an interface that cannot be opened is skipped",
       R"({"interfaces": [{"vendor": "0x1209", "product": "0x0001", "openable": false},
                          {"target": true}]})",
       true, AppProductID, 3, 2},
      {"the first of two matching interfaces wins",
       R"({"interfaces": [{"target": true},
                          {"vendor": "0x1209", "product": "0x0002"}]})",
       true, AppProductID, 2, 2},
      {"a plain interface with the device's identity is the device",
       R"({"interfaces": [{"vendor": "0x1209", "product": "0x0002", "report_length": 41},
                          {"target": true}]})",
       true, BootProductID, 2, 2},
      {"no match", R"({"interfaces": [{"vendor": "0x046D"}], "device": {"present": false}})", false,
       0, 1, 0},
      {"a vanishing interface is skipped without an open",
       R"({"interfaces": [{"vendor": "0x1209", "product": "0x0001", "vanishes": true},
                          {"target": true}]})",
       true, AppProductID, 2, 2},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    EmulatedHost host(c.scenario);
    const bool found = FindTheHid(host.Session(), host.platform);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(host.Session().DeviceFound, c.found);
    if (c.found) {
      EXPECT_EQ(host.Session().DeviceAttrs.VendorID, DeviceVendorID);
      EXPECT_EQ(host.Session().DeviceAttrs.ProductID, c.product);
      EXPECT_NE(host.Session().DeviceHandle, InvalidHandle);
    } else {
      EXPECT_EQ(host.Session().DeviceHandle, InvalidHandle);
    }
    EXPECT_EQ(Opens(host).size(), c.opens);
    // Every handle but the pair of the device has been closed; the set is released.
    EXPECT_EQ(host.platform.OpenObjectCount(), c.handlesLeftOpen);
  }
}

TEST(DeviceSearch, TheSecondMatchingInterfaceIsNeverOpened) {
  EmulatedHost host(R"({"interfaces": [{"target": true},
                                       {"vendor": "0x1209", "product": "0x0002"}]})");
  ASSERT_TRUE(FindTheHid(host.Session(), host.platform));
  for (const auto& [path, ok] : Opens(host)) {
    EXPECT_EQ(path, emulator::EmulatedPlatform::DevicePath(emulator::DeviceMode::App));
  }
}

TEST(DeviceSearch, AVanishedInterfaceGetsNoDetailBufferSmallerThanItsSizeField) {
  EmulatedHost host(R"({"interfaces": [{"vanishes": true}], "device": {"present": false}})");
  EXPECT_FALSE(FindTheHid(host.Session(), host.platform));
  // Only the sizing query was made; the interface was skipped before any buffer was written.
  const auto details = host.Calls("SetupDiGetDeviceInterfaceDetailA");
  ASSERT_EQ(details.size(), 1u);
  EXPECT_EQ(details[0]["size"], 0);
  EXPECT_TRUE(host.Calls("CreateFileA").empty());
}

TEST(DeviceSearch, ASecondSearchLeavesTheEarlierHandlesOpen) {
  EmulatedHost host(R"({"device": {}})");
  ASSERT_TRUE(FindTheHid(host.Session(), host.platform));
  const Handle first = host.Session().DeviceHandle;
  ASSERT_TRUE(FindTheHid(host.Session(), host.platform));
  EXPECT_NE(host.Session().DeviceHandle, first);
  EXPECT_EQ(host.platform.OpenObjectCount(), 4u);
  EXPECT_TRUE(host.Calls("CloseHandle").empty());
}

TEST(DeviceSearch, CapabilitiesThatCannotBeReadKeepTheEarlierValue) {
  EmulatedHost host(R"({"device": {"caps_fail": true}})");
  host.Session().DeviceCaps.FeatureReportByteLength = 77;
  ASSERT_TRUE(FindTheHid(host.Session(), host.platform));
  EXPECT_TRUE(host.Calls("HidP_GetCaps").empty());
  EXPECT_TRUE(host.Calls("HidD_FreePreparsedData").empty());
  EXPECT_EQ(host.Session().DeviceCaps.FeatureReportByteLength, 77);
}

TEST(DeviceSearch, ReadsTheReportLengthOfTheModeFound) {
  EmulatedHost host(R"({"device": {"mode": "boot", "boot": {"report_length": 65}}})");
  ASSERT_TRUE(FindTheHid(host.Session(), host.platform));
  EXPECT_EQ(host.Session().DeviceCaps.FeatureReportByteLength, 65);
  EXPECT_EQ(host.Calls("HidD_FreePreparsedData").size(), 1u);
}

TEST(HandleFields, AClosedFieldIsNeverClosedAgainUnderAReusedValue) {
  // The host hands out freed handle values again, as operating systems do.
  EmulatedHost host(R"({"reuse_handles": true, "device": {}})");
  host.Load();
  const Handle deviceHandle = host.Session().DeviceHandle;
  host.Close();  // unload: both handles closed
  EXPECT_EQ(host.Session().DeviceHandle, InvalidHandle);

  // Something else now gets the same value from the platform.
  const std::string path = emulator::EmulatedPlatform::DevicePath(emulator::DeviceMode::App);
  Handle other = InvalidHandle;
  for (int i = 0; i < 8 && other != deviceHandle; ++i) {
    other =
        host.platform.CreateFileA(path.c_str(), GenericRead | GenericWrite, 3, nullptr, 3, 0, 0);
  }
  ASSERT_EQ(other, deviceHandle);

  host.Finish();  // terminate handling closes both fields once more
  EXPECT_EQ(host.platform.CloseHandle(other), 1) << "the other object was closed";
}

}  // namespace
}  // namespace dalvorn::testing

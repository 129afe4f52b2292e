// The Windows backend against the system's own HID stack. Whatever HID interfaces the host
// has (Wine shows a mouse and a keyboard of its own), none is the device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device/device_session.h"
#include "device/find_the_hid.h"
#include "device/os_platform.h"

#include <windows.h>

namespace dalvorn {
namespace {

constexpr std::uint16_t WineVendorID = 0x845E;  // Wine's own mouse and keyboard

class WindowsPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_->HidD_GetHidGuid(hidGuid_);
    set_ =
        platform_->SetupDiGetClassDevsA(hidGuid_, nullptr, 0, DigcfPresent | DigcfDeviceInterface);
    ASSERT_NE(set_, InvalidHandle);
  }
  void TearDown() override {
    if (set_ != InvalidHandle) platform_->SetupDiDestroyDeviceInfoList(set_);
  }

  // Every interface of the set, as the program enumerates them.
  std::vector<SpDeviceInterfaceData> Interfaces() {
    std::vector<SpDeviceInterfaceData> all;
    for (std::int32_t index = 0;; ++index) {
      SpDeviceInterfaceData data;
      data.cbSize = SpDeviceInterfaceDataSize;
      if (platform_->SetupDiEnumDeviceInterfaces(set_, nullptr, hidGuid_, index, data) == 0) break;
      all.push_back(data);
    }
    return all;
  }

  std::string PathOf(const SpDeviceInterfaceData& data) {
    std::int32_t needed = 0;
    platform_->SetupDiGetDeviceInterfaceDetailA(set_, data, nullptr, 0, &needed, nullptr);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(needed) + 1, 0);
    std::memcpy(buffer.data(), &InterfaceDetailSizeField, 4);
    if (platform_->SetupDiGetDeviceInterfaceDetailA(set_, data, buffer.data(), needed, &needed,
                                                    nullptr) == 0) {
      return {};
    }
    return reinterpret_cast<const char*>(buffer.data() + 4);
  }

  Handle Open(const std::string& path, std::uint32_t flags = 0) {
    SecurityAttributes security;
    security.nLength = SecurityAttributesSize;
    security.bInheritHandle = -1;
    return platform_->CreateFileA(path.c_str(), GenericRead | GenericWrite,
                                  FileShareRead | FileShareWrite, &security, OpenExisting, flags,
                                  0);
  }

  std::unique_ptr<HidPlatform> platform_ = MakeOsPlatform();
  Guid hidGuid_;
  Handle set_ = InvalidHandle;
};

TEST_F(WindowsPlatformTest, HidGuidIsTheHidInterfaceClass) {
  EXPECT_EQ(hidGuid_.Data1, 0x4D1E55B2u);
  EXPECT_EQ(hidGuid_.Data2, 0xF16F);
  EXPECT_EQ(hidGuid_.Data3, 0x11CF);
}

TEST_F(WindowsPlatformTest, DetailQueriesUseTheProgramsRecordSizes) {
  for (const SpDeviceInterfaceData& data : Interfaces()) {
    std::int32_t needed = -1;
    EXPECT_EQ(platform_->SetupDiGetDeviceInterfaceDetailA(set_, data, nullptr, 0, &needed, nullptr),
              0);
    const std::string path = PathOf(data);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(needed, static_cast<std::int32_t>(4 + path.size() + 1)) << path;

    // One byte short: fails, writes nothing past the size field.
    std::vector<std::uint8_t> small(static_cast<std::size_t>(needed) - 1, 0xEE);
    std::memcpy(small.data(), &InterfaceDetailSizeField, 4);
    EXPECT_EQ(platform_->SetupDiGetDeviceInterfaceDetailA(set_, data, small.data(), needed - 1,
                                                          nullptr, nullptr),
              0);
    for (std::size_t i = 4; i < small.size(); ++i) ASSERT_EQ(small[i], 0xEE);
  }
}

TEST_F(WindowsPlatformTest, RecordsOfOtherSizesAreRefused) {
  const std::vector<SpDeviceInterfaceData> all = Interfaces();
  if (all.empty()) GTEST_SKIP() << "the host has no HID interface";
  SpDeviceInterfaceData data;
  data.cbSize = 32;  // the 64-bit system's own size is not the program's
  EXPECT_EQ(platform_->SetupDiEnumDeviceInterfaces(set_, nullptr, hidGuid_, 0, data), 0);
  std::int32_t needed = 0;
  std::vector<std::uint8_t> buffer(512, 0);
  const std::int32_t systemField = 8;
  std::memcpy(buffer.data(), &systemField, 4);
  EXPECT_EQ(platform_->SetupDiGetDeviceInterfaceDetailA(set_, all[0], buffer.data(), 512, &needed,
                                                        nullptr),
            0);
}

TEST_F(WindowsPlatformTest, InterfacesOpenAndDescribeThemselves) {
  for (const SpDeviceInterfaceData& data : Interfaces()) {
    const std::string path = PathOf(data);
    SCOPED_TRACE(path);
    const Handle device = Open(path);
    if (device == InvalidHandle) continue;  // held exclusively by the system
    HiddAttributes attributes;
    attributes.Size = HiddAttributesSize;
    EXPECT_NE(platform_->HidD_GetAttributes(device, attributes), 0);
    EXPECT_NE(attributes.VendorID, 0);

    Handle preparsed = 0;
    if (platform_->HidD_GetPreparsedData(device, preparsed) != 0) {
      HidpCaps caps;
      EXPECT_EQ(platform_->HidP_GetCaps(preparsed, caps), HidpStatusSuccess);
      EXPECT_NE(caps.UsagePage, 0);
      EXPECT_NE(platform_->HidD_FreePreparsedData(preparsed), 0);
      // Released: never handed to the system again.
      EXPECT_EQ(platform_->HidP_GetCaps(preparsed, caps), 0);
      EXPECT_EQ(platform_->HidD_FreePreparsedData(preparsed), 0);
    }
    // A report Wine's devices do not have: refused by a device that is still there.
    std::uint8_t report[9] = {};
    if (attributes.VendorID == WineVendorID &&
        platform_->HidD_SetFeature(device, report, sizeof report) == 0) {
      EXPECT_NE(platform_->LastErrorCode(), ErrorDeviceNotConnected);
    }
    EXPECT_NE(platform_->CloseHandle(device), 0);
    EXPECT_EQ(platform_->CloseHandle(device), 0);
    EXPECT_EQ(platform_->HidD_GetAttributes(device, attributes), 0);
    EXPECT_EQ(platform_->HidD_SetFeature(device, report, sizeof report), 0);
    EXPECT_EQ(platform_->LastErrorCode(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
  }
}

// The physical device by which the count of the devices of the kind groups interfaces. Wine
// gives its devices no container ID and no parent: there each interface names its own device
// instance ("instance HID\VID_845E&PID_0001\...").
TEST_F(WindowsPlatformTest, EachInterfaceNamesItsPhysicalDeviceTheSameEachTime) {
  std::map<std::uint16_t, std::string> wineDevices;  // product ID -> physical device
  for (const SpDeviceInterfaceData& data : Interfaces()) {
    SCOPED_TRACE(PathOf(data));
    std::string physical, again = "an earlier text";
    ASSERT_NE(platform_->SetupDiGetDevicePropertyW(set_, data, physical), 0);
    EXPECT_FALSE(physical.empty());
    EXPECT_NE(platform_->SetupDiGetDevicePropertyW(set_, data, again), 0);
    EXPECT_EQ(again, physical);

    const Handle device = Open(PathOf(data));
    if (device == InvalidHandle) continue;
    HiddAttributes attributes;
    attributes.Size = HiddAttributesSize;
    if (platform_->HidD_GetAttributes(device, attributes) != 0 &&
        attributes.VendorID == WineVendorID) {
      const auto [known, added] = wineDevices.emplace(attributes.ProductID, physical);
      // One device's interfaces share it.
      if (!added) {
        EXPECT_EQ(known->second, physical);
      }
    }
    platform_->CloseHandle(device);
  }
  // Wine's mouse and keyboard are two devices.
  std::set<std::string> texts;
  for (const auto& [product, physical] : wineDevices) texts.insert(physical);
  EXPECT_EQ(texts.size(), wineDevices.size());
}

// Where each interface's device is plugged in, by which the update knows the device after its
// switch. Wine's own devices have no USB device behind them: there the query fails and leaves
// the text empty, and the device is known by its serial number instead.
TEST_F(WindowsPlatformTest, EachInterfaceTellsItsLocationTheSameEachTimeOrNone) {
  for (const SpDeviceInterfaceData& data : Interfaces()) {
    SCOPED_TRACE(PathOf(data));
    std::string location = "an earlier text", again;
    const std::int32_t result = platform_->CM_Get_DevNode_PropertyW(set_, data, location);
    EXPECT_EQ(result != 0, !location.empty());
    if (result == 0) {
      EXPECT_NE(platform_->LastErrorCode(), ErrorSuccess);
    }
    EXPECT_EQ(platform_->CM_Get_DevNode_PropertyW(set_, data, again), result);
    EXPECT_EQ(again, location);
    std::printf("location of %s: %s\n", PathOf(data).c_str(),
                result != 0 ? location.c_str() : "none");
  }
}

TEST_F(WindowsPlatformTest, StringQueriesTakeTheLengthInBytes) {
  for (const SpDeviceInterfaceData& data : Interfaces()) {
    const Handle device = Open(PathOf(data), FileFlagOverlapped);
    if (device == InvalidHandle) continue;
    std::uint8_t buffer[201];
    std::memset(buffer, 0xEE, sizeof buffer);
    if (platform_->HidD_GetProductString(device, buffer, 100) != 0) {
      for (std::size_t i = 100; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xEE) << i;
    }
    platform_->CloseHandle(device);
  }
}

TEST_F(WindowsPlatformTest, ValuesNeverGivenOutAreRefusedWithoutReachingTheSystem) {
  // -1 would be the current process to the system.
  for (Handle value : {Handle{0}, Handle{-1}, Handle{12345}}) {
    EXPECT_EQ(platform_->CloseHandle(value), 0) << value;
    HiddAttributes attributes;
    EXPECT_EQ(platform_->HidD_GetAttributes(value, attributes), 0);
    std::uint8_t report[8] = {};
    EXPECT_EQ(platform_->HidD_SetFeature(value, report, sizeof report), 0);
    EXPECT_EQ(platform_->LastErrorCode(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(platform_->HidD_GetFeature(value, report, sizeof report), 0);
    HidpCaps caps;
    EXPECT_EQ(platform_->HidP_GetCaps(value, caps), 0);
    EXPECT_EQ(platform_->SetupDiDestroyDeviceInfoList(value), 0);
    std::string physical = "an earlier text";
    EXPECT_EQ(platform_->SetupDiGetDevicePropertyW(value, SpDeviceInterfaceData{}, physical), 0);
    EXPECT_TRUE(physical.empty());
    std::string location = "an earlier text";
    EXPECT_EQ(platform_->CM_Get_DevNode_PropertyW(value, SpDeviceInterfaceData{}, location), 0);
    EXPECT_TRUE(location.empty());
  }
  EXPECT_NE(::GetCurrentProcessId(), 0u);  // the process is still here
  EXPECT_EQ(Open("\\\\.\\no-such-device"), InvalidHandle);
}

TEST_F(WindowsPlatformTest, SetsAreReleasedOnce) {
  EXPECT_NE(platform_->SetupDiDestroyDeviceInfoList(set_), 0);
  EXPECT_EQ(platform_->SetupDiDestroyDeviceInfoList(set_), 0);
  SpDeviceInterfaceData data;
  data.cbSize = SpDeviceInterfaceDataSize;
  EXPECT_EQ(platform_->SetupDiEnumDeviceInterfaces(set_, nullptr, hidGuid_, 0, data), 0);
  std::string physical;
  EXPECT_EQ(platform_->SetupDiGetDevicePropertyW(set_, data, physical), 0);
  set_ = InvalidHandle;
}

TEST_F(WindowsPlatformTest, SearchFindsNoDeviceAmongOtherInterfaces) {
  DeviceSession session;
  session.DeviceHandle = 77;  // an earlier value, kept when nothing is examined
  EXPECT_FALSE(FindTheHid(session, *platform_));
  EXPECT_FALSE(session.DeviceFound);
  EXPECT_TRUE(session.Search.EnumExhausted);
  if (Interfaces().empty()) {
    EXPECT_EQ(session.DeviceHandle, 77);
  }
  // Every handle the search opened is closed already.
  EXPECT_EQ(platform_->CloseHandle(session.DeviceHandle), 0);
}

TEST(WindowsProgramFolderTest, IsTheFolderOfTheRunningExecutable) {
  char module[MAX_PATH] = {};
  ASSERT_NE(::GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
  std::string expected(module);
  expected.erase(expected.find_last_of("\\/"));
  const std::string folder = MakeOsPlatform()->ProgramFolder();
  EXPECT_EQ(folder, expected);
  EXPECT_NE(folder.back(), '\\');
}

}  // namespace
}  // namespace dalvorn

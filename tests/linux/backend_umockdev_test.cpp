// The hidraw backend and the device search over interfaces faked with umockdev.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/find_the_hid.h"
#include "device/os_platform.h"
#include "fake_hid_host.h"

namespace dalvorn::linuxtest {
namespace {

FakeInterface Other(std::uint16_t vendor, std::uint16_t product) {
  FakeInterface f;
  f.vendor = vendor;
  f.product = product;
  f.manufacturer = "Other";
  f.productName = "Other";
  return f;
}

std::u16string Utf16(const std::uint8_t* bytes, std::size_t max) {
  std::u16string s;
  for (std::size_t i = 0; i + 1 < max; i += 2) {
    const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    s.push_back(unit);
  }
  return s;
}

class Backend : public ::testing::Test {
 protected:
  FakeHidHost host;
  std::unique_ptr<HidPlatform> platform = MakeOsPlatform();
  DeviceSession session;

  void TearDown() override { CloseDeviceHandles(session, *platform); }
};

struct SearchCase {
  const char* name;
  std::vector<FakeInterface> before;  // hidraw1, hidraw2, ... ahead of the device
  bool deviceFirstOfTwo;              // a second matching interface follows the device
  ModelMode mode;
};

const std::vector<SearchCase> SearchCases = {
    {"alone", {}, false, ModelMode::App},
    {"bootloader_mode", {}, false, ModelMode::Boot},
    {"after_other_vendor_same_product", {Other(0x046D, AppProductID)}, false, ModelMode::App},
    {"after_same_vendor_other_product", {Other(DeviceVendorID, 0x0003)}, false, ModelMode::App},
    {"after_unopenable_match",
     {[] {
       auto f = Other(DeviceVendorID, AppProductID);
       f.openable = false;
       return f;
     }()},
     false,
     ModelMode::App},
    {"first_of_two_matches", {Other(0x046D, 0xC52B)}, true, ModelMode::Boot},
};

void PrintTo(const SearchCase& c, std::ostream* os) {
  *os << c.name;
}

class Search : public Backend, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(Search, OpensOnlyTheFirstMatchAndClosesTheRest) {
  const SearchCase& c = GetParam();
  std::vector<std::string> others;
  unsigned number = 1;
  for (const auto& f : c.before) others.push_back(host.AddInterface(number++, f));
  const std::string device = host.AddModelDevice(number++, c.mode);
  std::string second;
  if (c.deviceFirstOfTwo) second = host.AddInterface(number++, Other(DeviceVendorID, AppProductID));

  ASSERT_TRUE(FindTheHid(session, *platform));
  EXPECT_EQ(session.DevicePath, device);
  EXPECT_EQ(session.DeviceAttrs.VendorID, DeviceVendorID);
  EXPECT_EQ(session.DeviceAttrs.ProductID, c.mode == ModelMode::App ? AppProductID : BootProductID);
  EXPECT_EQ(session.DeviceCaps.FeatureReportByteLength, ModelFeatureReportLength);
  EXPECT_GE(session.DeviceHandle, 0x100);
  EXPECT_GE(session.OverlappedHandle, 0x100);
  EXPECT_NE(session.DeviceHandle, session.OverlappedHandle);
  for (const auto& o : others) EXPECT_EQ(host.OpenHandles(o), 0) << o << " was left open";
  if (!second.empty()) {
    EXPECT_EQ(host.Record(second).ioctls, 0) << "second match was examined";
  }
  EXPECT_EQ(host.OpenHandles(device), 2);
}

INSTANTIATE_TEST_SUITE_P(Hidraw, Search, ::testing::ValuesIn(SearchCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(Backend, NoMatchingInterfaceLeavesEarlierHandlesAndFindsNothing) {
  host.AddInterface(1, Other(0x046D, 0xC52B));
  session.DeviceHandle = 7;
  session.OverlappedHandle = 9;
  EXPECT_FALSE(FindTheHid(session, *platform));
  EXPECT_TRUE(session.Search.EnumExhausted);
  EXPECT_EQ(session.OverlappedHandle, 9);
  session = DeviceSession{};
}

TEST_F(Backend, EnumeratesInNodeNumberOrder) {
  // hidraw10 is added first and sorts after hidraw2 by number, before it by name.
  host.AddInterface(10, Other(DeviceVendorID, AppProductID));
  const std::string two = host.AddInterface(2, Other(DeviceVendorID, BootProductID));
  ASSERT_TRUE(FindTheHid(session, *platform));
  EXPECT_EQ(session.DevicePath, two);
}

TEST_F(Backend, DetailQueryKeepsToTheCallersBuffer) {
  const std::string node = host.AddInterface(3, Other(1, 2));
  Guid guid;
  platform->HidD_GetHidGuid(guid);
  const Handle set = platform->SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
  SpDeviceInterfaceData data;
  data.cbSize = SpDeviceInterfaceDataSize;
  ASSERT_NE(platform->SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, data), 0);
  SpDeviceInterfaceData badSize = data;
  badSize.cbSize = 8;
  EXPECT_EQ(platform->SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, badSize), 0);
  EXPECT_EQ(platform->SetupDiEnumDeviceInterfaces(set, nullptr, guid, 1, data), 0);

  std::int32_t needed = 0;
  EXPECT_EQ(platform->SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &needed, nullptr), 0);
  const auto expected = static_cast<std::int32_t>(4 + node.size() + 1);
  ASSERT_EQ(needed, expected);

  struct {
    std::int32_t size;
    std::int32_t sizeField;
    bool ok;
  } cases[] = {{expected, 5, true}, {expected - 1, 5, false}, {expected, 8, false}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.size) + 4, 0xEE);
    std::memcpy(buffer.data(), &c.sizeField, 4);
    const auto r = platform->SetupDiGetDeviceInterfaceDetailA(set, data, buffer.data(), c.size,
                                                              &needed, nullptr);
    EXPECT_EQ(r != 0, c.ok) << c.size << "/" << c.sizeField;
    for (std::size_t i = static_cast<std::size_t>(c.size); i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], 0xEE) << "wrote past the buffer";
    }
    if (c.ok) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data() + 4)), node);
    }
  }
  EXPECT_EQ(platform->SetupDiDestroyDeviceInfoList(set), 1);
  EXPECT_EQ(platform->SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, data), 0);
  EXPECT_EQ(platform->SetupDiDestroyDeviceInfoList(set), 0);
}

TEST_F(Backend, ClosingForeignOrStaleValuesTouchesNothing) {
  host.AddModelDevice(1, ModelMode::App);
  ASSERT_TRUE(FindTheHid(session, *platform));
  const Handle h = session.DeviceHandle;
  Guid guid;
  platform->HidD_GetHidGuid(guid);
  const Handle set = platform->SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
  for (Handle v : {Handle{0}, Handle{-1}, Handle{1}, Handle{2}, set}) {
    EXPECT_EQ(platform->CloseHandle(v), 0) << v;
  }
  EXPECT_NE(fcntl(0, F_GETFD), -1) << "stdin was closed";
  EXPECT_EQ(platform->SetupDiDestroyDeviceInfoList(set), 1);
  EXPECT_EQ(platform->CloseHandle(h), 1);
  EXPECT_EQ(platform->CloseHandle(h), 0);
  HiddAttributes attrs;
  EXPECT_EQ(platform->HidD_GetAttributes(h, attrs), 0);
  std::uint8_t report[41] = {};
  EXPECT_EQ(platform->HidD_SetFeature(h, report, sizeof report), 0);
}

TEST_F(Backend, PreparsedDataIsReleasedOnce) {
  host.AddModelDevice(1, ModelMode::App);
  ASSERT_TRUE(FindTheHid(session, *platform));
  Handle pp = 0;
  ASSERT_EQ(platform->HidD_GetPreparsedData(session.DeviceHandle, pp), 1);
  HidpCaps caps;
  EXPECT_EQ(platform->HidP_GetCaps(pp, caps), HidpStatusSuccess);
  EXPECT_EQ(caps.FeatureReportByteLength, 41);
  EXPECT_EQ(caps.UsagePage, 0xFF00);
  EXPECT_EQ(platform->HidD_FreePreparsedData(pp), 1);
  EXPECT_EQ(platform->HidD_FreePreparsedData(pp), 0);
  EXPECT_NE(platform->HidP_GetCaps(pp, caps), HidpStatusSuccess);
  EXPECT_EQ(platform->CloseHandle(pp), 0);
}

TEST_F(Backend, MalformedDescriptorGivesNoPreparsedData) {
  FakeInterface f = Other(DeviceVendorID, AppProductID);
  f.descriptor = {0x75, 0x08, 0x95};  // report count without its data byte
  host.AddInterface(1, f);
  session.DeviceCaps.FeatureReportByteLength = 99;
  ASSERT_TRUE(FindTheHid(session, *platform));
  EXPECT_EQ(session.DeviceCaps.FeatureReportByteLength, 99);
}

TEST_F(Backend, PaddedDescriptorGivesTheReportLength) {
  // The device's descriptor, zero-filled to 64 bytes as some firmware sends it, with a vendor
  // item of the reserved type in front.
  FakeInterface f = Other(DeviceVendorID, AppProductID);
  f.descriptor = {0x0D, 0x5A};
  f.descriptor.insert(f.descriptor.end(), ModelReportDescriptor.begin(),
                      ModelReportDescriptor.end());
  f.descriptor.resize(64, 0x00);
  host.AddInterface(1, f);
  ASSERT_TRUE(FindTheHid(session, *platform));
  EXPECT_EQ(session.DeviceCaps.FeatureReportByteLength, ModelFeatureReportLength);
  EXPECT_EQ(session.DeviceCaps.UsagePage, 0xFF00);
}

struct StringCase {
  const char* name;
  FakeInterface shape;
  const char16_t* manufacturer;  // nullptr: the query fails
  const char16_t* product;
  const char16_t* serial;
  std::uint16_t version;
};

FakeInterface Usb(std::optional<std::string> m, std::optional<std::string> p,
                  std::optional<std::string> s, std::uint16_t bcd) {
  FakeInterface f = Other(DeviceVendorID, AppProductID);
  f.manufacturer = std::move(m);
  f.productName = std::move(p);
  f.serial = std::move(s);
  f.bcdDevice = bcd;
  return f;
}

FakeInterface NoUsbParent(std::string name, std::string uniq) {
  FakeInterface f = Other(DeviceVendorID, AppProductID);
  f.usbParent = false;
  f.hidName = std::move(name);
  f.hidUniq = std::move(uniq);
  return f;
}

const std::vector<StringCase> StringCases = {
    {"usb", Usb("Dalvorn", "Widget", "0001", 0x0102), u"Dalvorn", u"Widget", u"0001", 0x0102},
    {"usb_without_serial", Usb("Dalvorn", "Widget", std::nullopt, 0xABCD), u"Dalvorn", u"Widget",
     nullptr, 0xABCD},
    {"usb_non_ascii", Usb("D\xC3\xA4lvorn", "W\xE2\x82\xAC", "1", 0), u"D\u00e4lvorn", u"W\u20ac",
     u"1", 0},
    {"no_usb_parent", NoUsbParent("Dalvorn Widget", "0042"), u"Dalvorn Widget", u"Dalvorn Widget",
     u"0042", 0},
    {"no_usb_parent_no_uniq", NoUsbParent("Dalvorn Widget", ""), u"Dalvorn Widget",
     u"Dalvorn Widget", nullptr, 0},
};

void PrintTo(const StringCase& c, std::ostream* os) {
  *os << c.name;
}

class Strings : public Backend, public ::testing::WithParamInterface<StringCase> {};

TEST_P(Strings, ComeFromTheUsbDeviceOrTheHidDevice) {
  const StringCase& c = GetParam();
  host.AddInterface(1, c.shape);
  ASSERT_TRUE(FindTheHid(session, *platform));
  EXPECT_EQ(session.DeviceAttrs.VersionNumber, c.version);
  using Query = std::int32_t (HidPlatform::*)(Handle, void*, std::uint32_t);
  const std::pair<Query, const char16_t*> queries[] = {
      {&HidPlatform::HidD_GetManufacturerString, c.manufacturer},
      {&HidPlatform::HidD_GetProductString, c.product},
      {&HidPlatform::HidD_GetSerialNumberString, c.serial}};
  for (const auto& [query, expected] : queries) {
    std::uint8_t buffer[100];
    std::memset(buffer, 0xEE, sizeof buffer);
    const auto r = ((*platform).*query)(session.OverlappedHandle, buffer, sizeof buffer);
    EXPECT_EQ(r != 0, expected != nullptr);
    if (expected) {
      EXPECT_EQ(Utf16(buffer, sizeof buffer), expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Hidraw, Strings, ::testing::ValuesIn(StringCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(Backend, FeatureReportsCarryTheReportIdByte) {
  const std::string node = host.AddModelDevice(1, ModelMode::Boot);
  host.SetModelStatus(0, 1);
  ASSERT_TRUE(FindTheHid(session, *platform));
  std::vector<std::uint8_t> report(41, 0);
  for (std::size_t i = 1; i < report.size(); ++i) report[i] = static_cast<std::uint8_t>(i);
  ASSERT_EQ(platform->HidD_SetFeature(session.DeviceHandle, report.data(), 41), 1);
  std::vector<std::uint8_t> status(41, 0xEE);
  status[0] = 0;
  ASSERT_EQ(platform->HidD_GetFeature(session.DeviceHandle, status.data(), 41), 1);
  EXPECT_EQ(status[1], 0);
  EXPECT_EQ(status[2], 1);
  ASSERT_EQ(host.Record(node).featuresSet.size(), 1u);
  EXPECT_EQ(host.Record(node).featuresSet[0], report);
  const auto flash = host.Model().Flash();
  EXPECT_EQ(flash, std::vector<std::uint8_t>(report.begin() + 1, report.end()));
  EXPECT_EQ(platform->HidD_SetFeature(session.DeviceHandle, report.data(), 0), 0);
}

// The reason of a failed request, as the update asks it right after: a device that has gone
// (ENODEV) is told apart from one that refused.
TEST_F(Backend, AFailureOfAGoneDeviceIsToldAsNotConnected) {
  const std::string node = host.AddModelDevice(1, ModelMode::Boot);
  host.SetModelRefusedBlock(1);
  host.SetModelUnplugBlock(2);
  ASSERT_TRUE(FindTheHid(session, *platform));
  std::vector<std::uint8_t> report(41, 0x5A);
  report[0] = 0;
  HiddAttributes attrs;
  const Handle h = session.DeviceHandle;
  const struct {
    const char* request;
    std::function<std::int32_t()> call;
    std::uint32_t code;
    const char* reason;
  } steps[] = {
      {"refused block", [&] { return platform->HidD_SetFeature(h, report.data(), 41); },
       ErrorGenFailure, "EPIPE"},
      {"block during the unplug", [&] { return platform->HidD_SetFeature(h, report.data(), 41); },
       ErrorDeviceNotConnected, "ENODEV"},
      {"status after it", [&] { return platform->HidD_GetFeature(h, report.data(), 41); },
       ErrorDeviceNotConnected, "ENODEV"},
      {"attributes after it", [&] { return platform->HidD_GetAttributes(h, attrs); },
       ErrorDeviceNotConnected, "ENODEV"},
      {"closed handle", [&] { return platform->HidD_SetFeature(0x7FFF, report.data(), 41); },
       ErrorGenFailure, "not an open handle"},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(step.call(), 0) << step.request;
    EXPECT_EQ(platform->LastErrorCode(), step.code) << step.request;
    EXPECT_EQ(platform->LastOsError().rfind(step.reason, 0), 0u)
        << step.request << ": " << platform->LastOsError();
  }
  EXPECT_EQ(host.Record(node).featuresSet.size(), 2u);
}

}  // namespace
}  // namespace dalvorn::linuxtest

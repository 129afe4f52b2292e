// The interface-detail query's sizing and bounds, and the string queries' cutting.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform_host.h"

namespace dalvorn::emulator {
namespace {

using testing::PrintTo;

using testing::PlatformHost;

constexpr std::uint8_t kCanary = 0xCC;

struct DetailCall {
  Handle set = 0;
  SpDeviceInterfaceData data;
};

DetailCall FirstInterface(PlatformHost& host) {
  DetailCall call;
  Guid guid;
  host.platform.HidD_GetHidGuid(guid);
  call.set = host.platform.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
  call.data.cbSize = SpDeviceInterfaceDataSize;
  EXPECT_EQ(host.platform.SetupDiEnumDeviceInterfaces(call.set, nullptr, guid, 0, call.data), 1);
  return call;
}

TEST(InterfaceDetail, SizingReportsFourPlusThePathPlusOneAndFails) {
  PlatformHost host("{}");
  const DetailCall c = FirstInterface(host);
  std::int32_t needed = -7;
  EXPECT_EQ(
      host.platform.SetupDiGetDeviceInterfaceDetailA(c.set, c.data, nullptr, 0, &needed, nullptr),
      0);
  EXPECT_EQ(needed, static_cast<std::int32_t>(
                        4 + EmulatedPlatform::DevicePath(DeviceMode::App).size() + 1));
}

struct BoundsCase {
  std::string name;
  int sizeDelta;  // the size handed over, relative to what the sizing call reported
  std::int32_t sizeField;
  bool succeeds;
};

class InterfaceDetailBounds : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(InterfaceDetailBounds, NeverWritesPastTheSizeHandedOver) {
  const BoundsCase& bc = GetParam();
  PlatformHost host("{}");
  const DetailCall c = FirstInterface(host);
  std::int32_t needed = 0;
  host.platform.SetupDiGetDeviceInterfaceDetailA(c.set, c.data, nullptr, 0, &needed, nullptr);
  const std::int32_t size = std::max(0, needed + bc.sizeDelta);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(needed) + 64, kCanary);
  for (std::size_t i = 0; i < 4 && i < buffer.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(bc.sizeField >> (8 * i));
  }
  const std::vector<std::uint8_t> before = buffer;
  const std::int32_t result = host.platform.SetupDiGetDeviceInterfaceDetailA(
      c.set, c.data, buffer.data(), size, &needed, nullptr);
  EXPECT_EQ(result != 0, bc.succeeds);
  if (bc.succeeds) {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data() + 4)),
              EmulatedPlatform::DevicePath(DeviceMode::App));
  } else {
    EXPECT_EQ(buffer, before) << "a failed query wrote into the buffer";
  }
  for (std::size_t i = std::max<std::size_t>(static_cast<std::size_t>(size), 4); i < buffer.size();
       ++i) {
    ASSERT_EQ(buffer[i], kCanary) << "written at " << i << " past size " << size;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, InterfaceDetailBounds,
                         ::testing::Values(BoundsCase{"ExactSize", 0, 5, true},
                                           BoundsCase{"Larger", 10, 5, true},
                                           BoundsCase{"OneShort", -1, 5, false},
                                           BoundsCase{"NoRoomForThePath", -1000, 5, false},
                                           BoundsCase{"WideRecordSizeField", 0, 6, false},
                                           BoundsCase{"SixtyFourBitSizeField", 0, 8, false},
                                           BoundsCase{"ZeroSizeField", 0, 0, false}),
                         [](const auto& instance) { return instance.param.name; });

TEST(InterfaceDetail, AVanishingInterfaceReportsZeroAndTheDetailFails) {
  PlatformHost host(R"({"interfaces": [{"vendor": 1, "vanishes": true}]})");
  const DetailCall c = FirstInterface(host);
  std::int32_t needed = 99;
  EXPECT_EQ(
      host.platform.SetupDiGetDeviceInterfaceDetailA(c.set, c.data, nullptr, 0, &needed, nullptr),
      0);
  EXPECT_EQ(needed, 0);
  std::vector<std::uint8_t> buffer(200, kCanary);
  buffer[0] = 5;
  buffer[1] = buffer[2] = buffer[3] = 0;
  const auto before = buffer;
  EXPECT_EQ(host.platform.SetupDiGetDeviceInterfaceDetailA(c.set, c.data, buffer.data(), 200,
                                                           &needed, nullptr),
            0);
  EXPECT_EQ(buffer, before);
  EXPECT_EQ(host.Open(host.platform.PlainPath(0)), InvalidHandle);
  // The device after it is still listed and found.
  EXPECT_EQ(host.Enumerate().back(), EmulatedPlatform::DevicePath(DeviceMode::App));
}

TEST(InterfaceDetail, AnUnknownInterfaceRecordOrSetFails) {
  PlatformHost host("{}");
  DetailCall c = FirstInterface(host);
  std::int32_t needed = 0;
  SpDeviceInterfaceData stranger = c.data;
  stranger.Reserved = 77;
  EXPECT_EQ(
      host.platform.SetupDiGetDeviceInterfaceDetailA(c.set, stranger, nullptr, 0, &needed, nullptr),
      0);
  EXPECT_EQ(needed, 0);
  host.platform.SetupDiDestroyDeviceInfoList(c.set);
  EXPECT_EQ(
      host.platform.SetupDiGetDeviceInterfaceDetailA(c.set, c.data, nullptr, 0, &needed, nullptr),
      0);
  EXPECT_EQ(needed, 0);
  Guid guid;
  host.platform.HidD_GetHidGuid(guid);
  EXPECT_EQ(host.platform.SetupDiEnumDeviceInterfaces(c.set, nullptr, guid, 0, c.data), 0);
  EXPECT_EQ(host.platform.SetupDiEnumDeviceInterfaces(InvalidHandle, nullptr, guid, 0, c.data), 0);
}

TEST(Enumeration, EndsAfterTheLastInterfaceAndWantsTheRecordSize) {
  PlatformHost host(R"({"interfaces": [{}, {}]})");
  Guid guid;
  host.platform.HidD_GetHidGuid(guid);
  const Handle set = host.platform.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
  SpDeviceInterfaceData data;
  data.cbSize = SpDeviceInterfaceDataSize;
  for (std::int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(host.platform.SetupDiEnumDeviceInterfaces(set, nullptr, guid, i, data), 1) << i;
  }
  EXPECT_EQ(host.platform.SetupDiEnumDeviceInterfaces(set, nullptr, guid, 3, data), 0);
  EXPECT_EQ(host.platform.SetupDiEnumDeviceInterfaces(set, nullptr, guid, -1, data), 0);
  data.cbSize = 32;
  EXPECT_EQ(host.platform.SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, data), 0);
}

struct StringQueryCase {
  std::string name;
  std::string strings;  // the device's app strings
  std::uint32_t length;
  std::int32_t result;
  std::vector<std::uint8_t> written;  // the leading bytes; the rest keeps the canary
};

class StringQueries : public ::testing::TestWithParam<StringQueryCase> {};

TEST_P(StringQueries, CutToTheQueryLengthWithNoTerminator) {
  const StringQueryCase& c = GetParam();
  PlatformHost host(R"({"device": {"app": {"strings": )" + c.strings + "}}}");
  const Handle h = host.OpenDevice(true);
  std::vector<std::uint8_t> buffer(128, kCanary);
  EXPECT_EQ(host.platform.HidD_GetManufacturerString(h, buffer.data(), c.length), c.result);
  std::vector<std::uint8_t> expected = c.written;
  expected.resize(buffer.size(), kCanary);
  EXPECT_EQ(buffer, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StringQueries,
    ::testing::Values(
        StringQueryCase{"Whole", R"({"manufacturer": "AB"})", 100, 1, {0x41, 0, 0x42, 0, 0, 0}},
        StringQueryCase{
            "CutBeforeTheTerminator", R"({"manufacturer": "AB"})", 4, 1, {0x41, 0, 0x42, 0}},
        StringQueryCase{"CutInsideAUnit", R"({"manufacturer": "AB"})", 3, 1, {0x41, 0, 0x42}},
        StringQueryCase{"RawBytesAsGiven",
                        R"({"manufacturer": {"utf16_hex": "410042"}})",
                        100,
                        1,
                        {0x41, 0, 0x42}},
        StringQueryCase{"EmptyRawBytes", R"({"manufacturer": {"utf16_hex": ""}})", 100, 1, {}},
        StringQueryCase{"Missing", R"({"product": "P"})", 100, 0, {}},
        StringQueryCase{"Null", R"({"manufacturer": null})", 100, 0, {}}),
    [](const auto& instance) { return instance.param.name; });

}  // namespace
}  // namespace dalvorn::emulator

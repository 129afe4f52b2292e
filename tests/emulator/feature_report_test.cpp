// What the device does with the feature reports it is sent and what it answers to reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_codes.h"
#include "platform_host.h"

namespace dalvorn::emulator {
namespace {

using testing::PrintTo;

using Bytes = std::vector<std::uint8_t>;
using testing::PlatformHost;
using testing::Report;

Bytes Code(const auto& code) {
  return Bytes(code.begin(), code.end());
}

Bytes Counting(std::size_t n, std::uint8_t from = 1) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(from + i);
  return bytes;
}

struct SendCase {
  std::string name;
  std::string mode;
  std::size_t length;
  Bytes payload;
  std::int32_t result;
  bool leaves;
  bool unlocks;
  std::size_t flashBytes;
};

class SendingAReport : public ::testing::TestWithParam<SendCase> {};

TEST_P(SendingAReport, IsRecognisedByItsCodeInItsMode) {
  const SendCase& c = GetParam();
  PlatformHost host(R"({"device": {"mode": ")" + c.mode + R"("}})");
  const Handle h = host.OpenDevice();
  EXPECT_EQ(host.SendCut(h, c.payload, static_cast<std::uint32_t>(c.length)), c.result);
  host.platform.Sleep(0);
  EXPECT_EQ(!host.platform.Device().Present(), c.leaves);
  EXPECT_EQ(host.platform.Device().Unlocked(), c.unlocks);
  ASSERT_EQ(host.platform.Device().Flash().size(), c.flashBytes);
  if (c.flashBytes == 0) return;
  const Bytes sent = Report(1001, c.payload);
  EXPECT_EQ(host.platform.Device().Flash(),
            Bytes(sent.begin() + 1, sent.begin() + 1 + static_cast<std::ptrdiff_t>(c.flashBytes)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SendingAReport,
    ::testing::Values(
        SendCase{"BootEntryInApp", "app", 41, Code(BootEntryCode), 1, true, false, 0},
        SendCase{"BootEntryJustFits", "app", 4, Code(BootEntryCode), 1, true, false, 0},
        SendCase{"BootEntryCut", "app", 3, Code(BootEntryCode), 1, false, false, 0},
        SendCase{"OtherReportInApp", "app", 41, Counting(40), 1, false, false, 0},
        SendCase{"UnlockInApp", "app", 41, Code(UnlockCode), 1, false, false, 0},
        SendCase{"UnlockInBoot", "boot", 41, Code(UnlockCode), 1, false, true, 0},
        SendCase{"UnlockJustFits", "boot", 9, Code(UnlockCode), 1, false, true, 0},
        SendCase{"UnlockCutIsABlock", "boot", 8, Code(UnlockCode), 1, false, false, 7},
        SendCase{"BootEntryInBootIsABlock", "boot", 41, Code(BootEntryCode), 1, false, false, 40},
        SendCase{"Block", "boot", 41, Counting(40), 1, false, false, 40},
        SendCase{"LongReportKeepsForty", "boot", 101, Counting(100), 1, false, false, 40},
        SendCase{"ShortReportKeepsWhatItHas", "boot", 20, Counting(40), 1, false, false, 19},
        SendCase{"ReportIdOnly", "boot", 1, Counting(40), 1, false, false, 0},
        SendCase{"EmptyReport", "boot", 0, Counting(40), 0, false, false, 0}),
    [](const auto& instance) { return instance.param.name; });

TEST(DataBlocks, TheRefusedBlockIsNotKeptAndLaterOnesAre) {
  PlatformHost host(R"({"device": {"mode": "boot", "refuse_block": 2}})");
  const Handle h = host.OpenDevice();
  EXPECT_EQ(host.Send(h, Report(41, Code(UnlockCode))), 1);  // not a block
  EXPECT_EQ(host.Send(h, Report(41, Counting(40, 1))), 1);
  EXPECT_EQ(host.Send(h, Report(41, Counting(40, 101))), 0);
  EXPECT_EQ(host.Send(h, Report(41, Counting(40, 201))), 1);
  Bytes expected = Counting(40, 1);
  const Bytes third = Counting(40, 201);
  expected.insert(expected.end(), third.begin(), third.end());
  EXPECT_EQ(host.platform.Device().Flash(), expected);
  EXPECT_EQ(host.platform.Device().BlocksTaken(), 2u);
}

struct StatusCase {
  std::string name;
  std::string device;
  std::size_t length;
  std::int32_t result;
  Bytes leading;  // the first bytes read; all others 0
};

class ReadingTheStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ReadingTheStatus, FillsTheBufferEvenWhenTheReadFails) {
  const StatusCase& c = GetParam();
  PlatformHost host(R"({"device": )" + c.device + "}");
  const Handle h = host.OpenDevice();
  Bytes buffer(c.length + 8, 0xEE);
  EXPECT_EQ(host.platform.HidD_GetFeature(h, buffer.data(), static_cast<std::uint32_t>(c.length)),
            c.result);
  Bytes expected = c.leading;
  expected.resize(c.length, 0);
  expected.resize(c.length + 8, 0xEE);
  EXPECT_EQ(buffer, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadingTheStatus,
    ::testing::Values(
        StatusCase{"Boot", R"({"mode": "boot", "status": [7, "0x80"]})", 41, 1, {0, 7, 0x80}},
        StatusCase{"BootNoUnlockWanted", R"({"mode": "boot", "status": [0, 0]})", 41, 1, {}},
        StatusCase{"ReadFails",
                   R"({"mode": "boot", "status": [0, 1], "status_read_fails": true})",
                   41,
                   0,
                   {0, 0, 1}},
        StatusCase{"ShortReport", R"({"mode": "boot", "status": [5, 6]})", 2, 1, {0, 5}},
        StatusCase{"EmptyReport", R"({"mode": "boot", "status": [5, 6]})", 0, 0, {}},
        StatusCase{"AppAnswersZeros", R"({"mode": "app", "status": [5, 6]})", 41, 1, {}}),
    [](const auto& instance) { return instance.param.name; });

TEST(PlainInterfaces, OnlyThoseWithTheDevicesIdentityTakeReports) {
  PlatformHost host(R"({"interfaces": [{"vendor": "0x1209", "product": "0x0002"},
                                       {"vendor": "0x1209", "product": "0x0003"}],
                        "device": {"present": false}})");
  const Handle lookalike = host.Open(host.platform.PlainPath(0));
  const Handle other = host.Open(host.platform.PlainPath(1));
  EXPECT_EQ(host.Send(lookalike, Report(41, Code(UnlockCode))), 1);
  Bytes buffer(41, 0xEE);
  EXPECT_EQ(host.platform.HidD_GetFeature(lookalike, buffer.data(), 41), 1);
  EXPECT_EQ(buffer, Bytes(41, 0));
  EXPECT_EQ(host.Send(other, Report(41, {})), 0);
  EXPECT_EQ(host.platform.HidD_GetFeature(other, buffer.data(), 41), 0);
  EXPECT_FALSE(host.platform.Device().Unlocked());
}

TEST(BootEntry, ASecondRequestWhileLeavingDoesNotPutTheReturnOff) {
  PlatformHost host(
      R"({"device": {"on_boot_entry": {"leave_after_ms": 100, "back_after_ms": 100}}})");
  const Handle h = host.OpenDevice();
  host.Send(h, Report(41, Code(BootEntryCode)));
  host.platform.Sleep(50);
  host.Send(h, Report(41, Code(BootEntryCode)));
  host.platform.Sleep(150);
  EXPECT_TRUE(host.platform.Device().Present());
  EXPECT_EQ(host.platform.Device().Mode(), DeviceMode::Boot);
}

}  // namespace
}  // namespace dalvorn::emulator

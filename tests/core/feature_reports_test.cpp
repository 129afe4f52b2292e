// The layout of the feature-report messages and the buffers they are built in.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "update/feature_reports.h"

namespace dalvorn {
namespace {

DeviceSession WithReportLength(std::uint16_t length) {
  DeviceSession s;
  s.DeviceCaps.FeatureReportByteLength = length;
  return s;
}

TEST(ReportBuffers, AreAtLeastTheirSizeAndAsLongAsTheReport) {
  struct Case {
    std::size_t minimum;
    std::uint16_t reportLength;
    std::size_t size;
  };
  const Case cases[] = {{101, 0, 101},   {101, 41, 101},   {101, 101, 101},
                        {101, 102, 102}, {1001, 65, 1001}, {1001, 4096, 4096}};
  for (const Case& c : cases) {
    const auto buffer = NewReportBuffer(c.minimum, WithReportLength(c.reportLength));
    EXPECT_EQ(buffer.size(), c.size);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0; }));
  }
}

// The bytes the device's firmware expects, as its protocol has them, behind report ID 0.
TEST(Messages, CarryTheDevicesCodesBehindReportIdZero) {
  auto command = NewReportBuffer(CommandReportSize, WithReportLength(65));
  command[0] = 0xEE;
  BuildBootEntryMessage(command);
  const std::vector<std::uint8_t> bootEntry = {0x00, 0xB0, 0x07, 0x1D};
  EXPECT_TRUE(std::equal(bootEntry.begin(), bootEntry.end(), command.begin()));
  EXPECT_TRUE(std::all_of(command.begin() + 4, command.end(), [](auto b) { return b == 0; }));

  // The unlock message is built in the same buffer after the entry message.
  BuildUnlockMessage(command);
  const std::vector<std::uint8_t> unlock = {0x00, 0x55, 0x4E, 0x4C, 0x4B, 0xD4, 0x17, 0x0A, 0x5E};
  EXPECT_TRUE(std::equal(unlock.begin(), unlock.end(), command.begin()));
  EXPECT_TRUE(std::all_of(command.begin() + 9, command.end(), [](auto b) { return b == 0; }));
}

TEST(Messages, DataBlockHoldsTheRecordInFileOrder) {
  auto block = NewReportBuffer(BlockBufferSize, WithReportLength(41));
  std::uint8_t record[FlashRecordSize];
  std::iota(std::begin(record), std::end(record), std::uint8_t{1});
  for (int round = 0; round < 2; ++round) {
    block[0] = 0x55;
    BuildDataBlockMessage(block, record);
    EXPECT_EQ(block[0], 0);
    for (std::size_t k = 1; k <= FlashRecordSize; ++k) EXPECT_EQ(block[k], k) << k;
    EXPECT_TRUE(std::all_of(block.begin() + 41, block.end(), [](auto b) { return b == 0; }));
  }
}

TEST(StatusReport, AsksForUnlockOnlyAfterASuccessfulRead) {
  struct Case {
    std::uint8_t byte1, byte2;
    std::int32_t result;
    bool unlock;
  };
  const Case cases[] = {{0, 0, 1, false}, {1, 0, 1, true},  {0, 1, 1, true}, {0x80, 0x80, 1, true},
                        {1, 1, 0, false}, {0, 0, 0, false}, {0, 2, -1, true}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> status(StatusReportSize, 0);
    status[1] = c.byte1;
    status[2] = c.byte2;
    EXPECT_EQ(StatusAsksForUnlock(status, c.result), c.unlock)
        << int(c.byte1) << "," << int(c.byte2) << " result " << c.result;
  }
}

}  // namespace
}  // namespace dalvorn

// The program's interface-detail record as the Windows backend fills it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/windows/interface_detail.h"

namespace dalvorn {
namespace {

constexpr std::uint8_t Canary = 0xA5;
const std::string Path = "\\\\?\\hid#vid_845e&pid_0001#1&2d595ca7&0&0000#{4d1e55b2}";

struct DetailCase {
  const char* name;
  int sizeDelta;  // the buffer size relative to what the path needs
  std::int32_t sizeField;
  std::int32_t result;
};

void PrintTo(const DetailCase& c, std::ostream* os) {
  *os << c.name;
}

class FillInterfaceDetailTest : public ::testing::TestWithParam<DetailCase> {};

TEST_P(FillInterfaceDetailTest, WritesOnlyInsideTheBuffer) {
  const DetailCase& c = GetParam();
  const std::int32_t needed = InterfaceDetailRequiredSize(Path);
  const std::int32_t size = needed + c.sizeDelta;
  // Guard bytes on both sides of the buffer the program hands over.
  std::vector<std::uint8_t> memory(static_cast<std::size_t>(size) + 16, Canary);
  std::uint8_t* buffer = memory.data() + 8;
  std::memcpy(buffer, &c.sizeField, sizeof c.sizeField);
  std::int32_t required = -7;

  EXPECT_EQ(FillInterfaceDetail(Path, buffer, size, &required), c.result);
  EXPECT_EQ(required, needed);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(memory[i], Canary);
    EXPECT_EQ(memory[8 + size + i], Canary);
  }
  std::int32_t field = 0;
  std::memcpy(&field, buffer, sizeof field);
  EXPECT_EQ(field, c.sizeField);
  if (c.result != 0) {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer + 4)), Path);
  } else {
    for (std::int32_t i = 4; i < size; ++i) ASSERT_EQ(buffer[i], Canary) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FillInterfaceDetailTest,
    ::testing::Values(DetailCase{"Exact", 0, 5, 1}, DetailCase{"Larger", 9, 5, 1},
                      DetailCase{"NoRoomForTheTerminator", -1, 5, 0},
                      DetailCase{"OnlyTheSizeField", 4 - static_cast<int>(Path.size() + 5), 5, 0},
                      DetailCase{"SizeFieldOf64BitWindows", 0, 8, 0},
                      DetailCase{"SizeFieldMissing", 0, 0, 0}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(InterfaceDetailTest, SizingCallReportsTheSizeAndFails) {
  const struct {
    std::string path;
    std::int32_t needed;
  } cases[] = {{"", 5}, {"a", 6}, {Path, static_cast<std::int32_t>(Path.size() + 5)}};
  for (const auto& c : cases) {
    std::int32_t required = 0;
    EXPECT_EQ(FillInterfaceDetail(c.path, nullptr, 0, &required), 0);
    EXPECT_EQ(required, c.needed) << c.path;
    EXPECT_EQ(InterfaceDetailRequiredSize(c.path), c.needed);
  }
}

TEST(InterfaceDetailTest, BuffersTooSmallForTheSizeFieldAreNeverRead) {
  std::uint8_t tiny[3] = {Canary, Canary, Canary};
  for (std::int32_t size : {-1, 0, 1, 3}) {
    EXPECT_EQ(FillInterfaceDetail("x", tiny, size, nullptr), 0) << size;
  }
  for (std::uint8_t b : tiny) EXPECT_EQ(b, Canary);
}

}  // namespace
}  // namespace dalvorn

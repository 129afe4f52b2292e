// The text helpers of the hidraw backend: node numbers, bcdDevice and UTF-16LE strings.
#include "device/linux/hidraw_sysfs.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace dalvorn {
namespace {

TEST(HidrawNumber, OnlyHidrawNamesWithDigits) {
  const struct {
    const char* name;
    std::optional<unsigned> number;
  } cases[] = {
      {"hidraw0", 0u},
      {"hidraw12", 12u},
      {"hidraw", std::nullopt},
      {"hidraw1a", std::nullopt},
      {"hiddev0", std::nullopt},
      {"", std::nullopt},
      {"hidraw-1", std::nullopt},
      {"hidraw9999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(HidrawNumber(c.name), c.number) << c.name;
}

TEST(ParseBcdDevice, HexDigitsOnly) {
  const struct {
    const char* text;
    std::uint16_t value;
  } cases[] = {
      {"0102", 0x0102}, {"ffff", 0xFFFF}, {"A1", 0x00A1}, {"", 0},
      {"12345", 0},     {"01g2", 0},      {" 102", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseBcdDevice(c.text), c.value) << c.text;
}

// HID_ID names the device of a node that cannot be opened, for the message that tells so.
TEST(ParseHidId, BusVendorProductInHex) {
  using Ids = std::optional<std::pair<std::uint16_t, std::uint16_t>>;
  const struct {
    const char* text;
    Ids ids;
  } cases[] = {
      {"0003:00001209:00000001", Ids({0x1209, 0x0001})},
      {"0005:0000046D:0000B023", Ids({0x046D, 0xB023})},
      {"0003:00011209:00000001", std::nullopt},  // vendor beyond 16 bits
      {"0003:00001209", std::nullopt},
      {"0003:00001209:00000001x", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseHidId(c.text), c.ids) << c.text;
}

struct Utf16Case {
  const char* name;
  std::string utf8;
  std::size_t bufferBytes;
  std::vector<std::uint8_t> expected;  // the written bytes; the rest of the buffer stays 0xEE
};

const std::vector<Utf16Case> Utf16Cases = {
    {"ascii_with_terminator", "Ab", 100, {'A', 0, 'b', 0, 0, 0}},
    {"cut_drops_terminator", "Abc", 4, {'A', 0, 'b', 0}},
    {"odd_length_writes_whole_units", "Abc", 5, {'A', 0, 'b', 0}},
    {"exact_fit_keeps_terminator", "Ab", 6, {'A', 0, 'b', 0, 0, 0}},
    {"two_byte_sequence", "\xC3\xA9", 100, {0xE9, 0, 0, 0}},
    {"three_byte_sequence", "\xE2\x82\xAC", 100, {0xAC, 0x20, 0, 0}},
    {"surrogate_pair", "\xF0\x9F\x98\x80", 100, {0x3D, 0xD8, 0x00, 0xDE, 0, 0}},
    {"stray_continuation", "\x80", 100, {0xFD, 0xFF, 0, 0}},
    {"truncated_sequence", "\xE2\x82", 100, {0xFD, 0xFF, 0xFD, 0xFF, 0, 0}},
    {"overlong_encoding", "\xC0\xAF", 100, {0xFD, 0xFF, 0xFD, 0xFF, 0, 0}},
    {"encoded_surrogate", "\xED\xA0\x80", 100, {0xFD, 0xFF, 0xFD, 0xFF, 0xFD, 0xFF, 0, 0}},
    {"zero_length_buffer", "A", 0, {}},
    {"empty_text", "", 100, {0, 0}},
};

void PrintTo(const Utf16Case& c, std::ostream* os) {
  *os << c.name;
}

class Utf16 : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16, WritesUnitsWithinTheBuffer) {
  const Utf16Case& c = GetParam();
  std::vector<std::uint8_t> buffer(c.bufferBytes + 8, 0xEE);
  const std::size_t written = WriteUtf16Le(c.utf8, buffer.data(), c.bufferBytes);
  ASSERT_EQ(written, c.expected.size());
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + written), c.expected);
  for (std::size_t i = written; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << i;
}

INSTANTIATE_TEST_SUITE_P(Strings, Utf16, ::testing::ValuesIn(Utf16Cases),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace dalvorn

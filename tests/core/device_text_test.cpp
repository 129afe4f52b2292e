// How the device's version and strings become the text of the value labels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text_codec.h"
#include "ui/device_info_display.h"

namespace dalvorn {
namespace {

struct VersionCase {
  std::uint16_t version;
  const char* text;
};

TEST(VersionText, MajorInDecimalMinorInUpperCaseHex) {
  const VersionCase cases[] = {
      {0x0102, " 1.2"},  {0x0100, " 1.0"},    {0x0A00, " 10.0"},  {0x1234, " 18.34"},
      {0x00FF, " 0.FF"}, {0xFFFF, " 255.FF"}, {0x8000, " 128.0"}, {0x0110, " 1.10"},
      {0x010A, " 1.A"},  {0x1005, " 16.5"},   {0x0000, " 0.0"},   {0x00AB, " 0.AB"},
  };
  for (const VersionCase& c : cases) {
    EXPECT_EQ(VersionText(c.version), c.text) << std::hex << c.version;
  }
}

// UTF-16LE bytes of `units`, padded with zeros to `size` bytes.
std::vector<std::uint8_t> Utf16(std::u16string_view units, std::size_t size = 100) {
  std::vector<std::uint8_t> bytes(std::max(size, units.size() * 2), 0);
  for (std::size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
  }
  return bytes;
}

struct DecodeCase {
  const char* name;
  std::u16string units;
  std::string text;  // UTF-8
};

TEST(DecodeDeviceString, ShowsTheDevicesTextAsItIs) {
  const DecodeCase cases[] = {
      {"ascii", u"Dalvorn", "Dalvorn"},
      {"empty", u"", ""},
      {"latin1", u"Gr\u00FC\u00DFe",
       "Gr\xC3\xBC\xC3\x9F"
       "e"},
      {"low byte zero is not the end", u"A\u0100B",
       "A\xC4\x80"
       "B"},
      {"cjk", u"\u6F22\u5B57", "\xE6\xBC\xA2\xE5\xAD\x97"},
      {"surrogate pair", u"x\xD83D\xDE00y", "x\xF0\x9F\x98\x80y"},
      {"cut pair at the end dropped", u"ab\xD83D", "ab"},
      {"lone low surrogate replaced",
       u"a\xDE00"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      {"high surrogate before a letter replaced",
       u"a\xD83D"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      {"stops at the first zero unit", std::u16string(u"ab\0cd", 5), "ab"},
  };
  for (const DecodeCase& c : cases) {
    const auto bytes = Utf16(c.units);
    EXPECT_EQ(Utf8FromUtf16Le(bytes.data(), 100), c.text) << c.name;
  }
}

TEST(DecodeDeviceString, ReadsAtMostTheQueryLength) {
  // 60 characters written without a terminator: only the 50 that fit in 100 bytes count.
  std::u16string sixty;
  for (int i = 0; i < 60; ++i) sixty += static_cast<char16_t>(u'A' + i % 26);
  const auto bytes = Utf16(sixty, 201);
  const std::string text = Utf8FromUtf16Le(bytes.data(), 100);
  ASSERT_EQ(text.size(), 50u);
  EXPECT_EQ(text.substr(0, 3), "ABC");

  // A pair split by the 100-byte limit loses its half.
  std::u16string cut(49, u'x');
  cut += u"\xD83D\xDE00";
  const auto cutBytes = Utf16(cut, 201);
  EXPECT_EQ(Utf8FromUtf16Le(cutBytes.data(), 100), std::string(49, 'x'));
}

TEST(DecodeDeviceString, OddLengthIgnoresTheHalfUnit) {
  const std::uint8_t bytes[] = {'H', 0, 'i', 0, '!'};
  EXPECT_EQ(Utf8FromUtf16Le(bytes, sizeof bytes), "Hi");
}

}  // namespace
}  // namespace dalvorn

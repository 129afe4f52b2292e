// Which UTF-8 is taken as a Windows file name: well-formed text only, U+FFFD itself included.
#include <gtest/gtest.h>

#include "text/text_codec.h"

namespace dalvorn {
namespace {

TEST(IsValidUtf8, TakesWellFormedTextOnly) {
  const struct {
    const char* name;
    std::string text;
    bool valid;
  } cases[] = {
      {"empty", "", true},
      {"ascii", "Varnholt.bin", true},
      {"cyrillic_and_cjk", "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82/\xE6\xB5\x8B\xE8\xAF\x95", true},
      {"four_bytes", "\xF0\x9F\x98\x80", true},
      {"replacement_character_itself",
       "a\xEF\xBF\xBD"
       "b",
       true},
      {"stray_continuation", "a\x80", false},
      {"truncated_at_the_end", "a\xE2\x82", false},
      {"overlong_slash", "\xC0\xAF", false},
      {"encoded_surrogate", "\xED\xA0\x80", false},
      {"beyond_u10ffff", "\xF4\x90\x80\x80", false},
      {"latin1_byte", "caf\xE9", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.name;
}

}  // namespace
}  // namespace dalvorn

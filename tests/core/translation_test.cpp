// The translation machinery: the choice of language, the catalogue reader, plural forms,
// placeholders and the pseudo-language.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "text/built_in_catalogues.h"
#include "text/language_choice.h"
#include "text/mo_catalogue.h"
#include "text/pseudo_language.h"
#include "text/text_codec.h"
#include "text/translation.h"

namespace dalvorn::generated {
// tests/core/fixtures/catalogue_test.po, built in as the program's catalogues are.
std::span<const BuiltInCatalogue> TestCatalogues();
}  // namespace dalvorn::generated

namespace dalvorn {
namespace {

struct ChoiceCase {
  const char* name;
  std::vector<std::string> wishes;
  std::string chosen;
};

class LanguageChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(LanguageChoiceTest, FirstWishWithACatalogue) {
  const std::set<std::string, std::less<>> built = {"de", "fr", "pt_BR", "zh_CN", "ja", "x-pseudo"};
  const auto available = [&](std::string_view name) { return built.contains(name); };
  EXPECT_EQ(ChooseLanguage(GetParam().wishes, available), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(Wishes, LanguageChoiceTest,
                         ::testing::Values(ChoiceCase{"LocaleWithCodeset", {"de_DE.UTF-8"}, "de"},
                                           ChoiceCase{"RegionFirst", {"pt_BR.UTF-8"}, "pt_BR"},
                                           ChoiceCase{"OtherRegionHasNone", {"pt_PT.UTF-8"}, ""},
                                           ChoiceCase{"LanguageAlone", {"fr_CA@euro"}, "fr"},
                                           ChoiceCase{"WindowsName", {"ja-JP"}, "ja"},
                                           ChoiceCase{"SimplifiedScript", {"zh-Hans-CN"}, "zh_CN"},
                                           ChoiceCase{"SimplifiedNoRegion", {"zh-Hans"}, "zh_CN"},
                                           ChoiceCase{"Traditional", {"zh_TW.UTF-8"}, ""},
                                           ChoiceCase{"NextWish", {"sv_SE", "", "de"}, "de"},
                                           ChoiceCase{
                                               "EnglishEndsTheSearch", {"en_US.UTF-8", "de"}, ""},
                                           ChoiceCase{"CLocale", {"C.UTF-8"}, ""},
                                           ChoiceCase{"Posix", {"POSIX", "de"}, ""},
                                           ChoiceCase{"Pseudo", {"x-pseudo"}, "x-pseudo"},
                                           ChoiceCase{"Nothing", {}, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

struct EnvironmentCase {
  const char* name;
  std::map<std::string, std::string> variables;
  std::vector<std::string> wishes;
};

class EnvironmentWishesTest : public ::testing::TestWithParam<EnvironmentCase> {};

TEST_P(EnvironmentWishesTest, InGettextOrder) {
  const auto& variables = GetParam().variables;
  const auto get = [&](const char* name) -> const char* {
    const auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  };
  EXPECT_EQ(WishesFromEnvironment(get), GetParam().wishes);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, EnvironmentWishesTest,
    ::testing::Values(
        EnvironmentCase{"LanguageListFirst",
                        {{"LANGUAGE", "pl:de::fr"}, {"LANG", "C.UTF-8"}},
                        {"pl", "de", "fr", "C.UTF-8"}},
        EnvironmentCase{"LcAllOverLang", {{"LC_ALL", "fr_FR"}, {"LANG", "de_DE"}}, {"fr_FR"}},
        EnvironmentCase{
            "EmptyOnesSkipped",
            {{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP"}, {"LANG", "de"}},
            {"ja_JP"}},
        EnvironmentCase{"None", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCase {
  const char* name;
  std::string text;
  std::string formatted;
};

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, ReplacesNamedPlaceholders) {
  EXPECT_EQ(Format(GetParam().text, {{"block", "7"}, {"count", "12"}, {"path", "{count}"}}),
            GetParam().formatted);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FormatTest,
    ::testing::Values(FormatCase{"InOrder", "block {block} of {count}", "block 7 of 12"},
                      FormatCase{"Reordered", "{count}: {block}.", "12: 7."},
                      FormatCase{"Twice", "{block}{block}", "77"},
                      FormatCase{"ValueNotFormatAgain", "<{path}>", "<{count}>"},
                      FormatCase{"UnknownAndOpenBraces", "{x} {block {", "{x} {block {"},
                      FormatCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

std::size_t CodePoints(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++n) DecodeUtf8(text, i);
  return n;
}

TEST(PseudoLanguageTest, BracketedAccentedLongerPlaceholdersKept) {
  for (std::string_view english : {"Version", "The device refused data block {block} of {count}.",
                                   "Switching to bootloader..."}) {
    SCOPED_TRACE(std::string(english));
    const std::string pseudo = PseudoText(english);
    EXPECT_EQ(pseudo.front(), '[');
    EXPECT_EQ(pseudo.back(), ']');
    EXPECT_GE(CodePoints(pseudo) * 10, CodePoints(english) * 14);
    // No English word is left outside the placeholders: at most two plain letters in a row
    // (b, m, p, q, v and x have no accented form in the fonts of both windows).
    std::size_t run = 0, longest = 0;
    for (char c : Format(pseudo, {{"block", ""}, {"count", ""}})) {
      run = std::isalpha(static_cast<unsigned char>(c)) ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 2u) << pseudo;
    EXPECT_EQ(pseudo.find("{block}") != std::string::npos, english.find("{block}") != english.npos);
  }
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(generated::TestCatalogues().size(), 1u);
    const generated::BuiltInCatalogue& c = generated::TestCatalogues()[0];
    bytes.assign(c.mo, c.mo + c.size);
    plural = c.plural;
  }
  std::vector<unsigned char> bytes;
  unsigned long (*plural)(unsigned long) = nullptr;
};

TEST_F(CatalogueTest, FindsTextsContextsAndPluralForms) {
  MoCatalogue catalogue;
  ASSERT_TRUE(catalogue.Read(bytes.data(), bytes.size()));
  EXPECT_EQ(catalogue.Find("Product"), "Produkt");
  EXPECT_EQ(catalogue.Find("digit group separator\4,"), " ");
  EXPECT_EQ(catalogue.Find(","), std::nullopt);
  EXPECT_EQ(catalogue.Find("Untranslated"), std::nullopt);
  const auto devices = catalogue.Find("{count} device");
  ASSERT_TRUE(devices.has_value());
  // The catalogue's own Polish rule, compiled: 1, 2-4 (not 12-14), and the rest.
  const std::vector<std::pair<unsigned long, const char*>> forms = {
      {1, "{count} urządzenie"}, {2, "{count} urządzenia"}, {4, "{count} urządzenia"},
      {5, "{count} urządzeń"},   {12, "{count} urządzeń"},  {22, "{count} urządzenia"},
      {112, "{count} urządzeń"}, {0, "{count} urządzeń"}};
  for (const auto& [n, text] : forms) {
    EXPECT_EQ(MoCatalogue::Form(*devices, plural(n)), text) << n;
  }
  EXPECT_EQ(MoCatalogue::Form(*devices, 3), std::nullopt);
}

TEST_F(CatalogueTest, MalformedBytesAreRefusedWhole) {
  const auto word = [](std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  const std::vector<std::pair<const char*, std::function<void(std::vector<unsigned char>&)>>>
      faults = {
          {"short", [](auto& b) { b.resize(19); }},
          {"magic", [](auto& b) { b[0] ^= 1; }},
          {"revision", [&](auto& b) { word(b, 4, 0x20000); }},
          {"count", [&](auto& b) { word(b, 8, 0xffffffffu); }},
          {"table", [&](auto& b) { word(b, 12, static_cast<std::uint32_t>(b.size()) - 4); }},
          {"unterminated", [](auto& b) { b.back() = 'x'; }},
      };
  for (const auto& [name, fault] : faults) {
    SCOPED_TRACE(name);
    std::vector<unsigned char> broken = bytes;
    fault(broken);
    MoCatalogue catalogue;
    EXPECT_FALSE(catalogue.Read(broken.data(), broken.size()));
    EXPECT_EQ(catalogue.Find("Product"), std::nullopt);
  }
}

TEST(EnglishTest, NoLanguageLeavesEveryTextAsWritten) {
  EXPECT_FALSE(UseLanguage("xx"));
  EXPECT_EQ(CurrentLanguage(), "");
  EXPECT_EQ(Tr("Upgrade Firmware"), "Upgrade Firmware");
  EXPECT_EQ(TrN("{count} byte", "{count} bytes", 1), "{count} byte");
  EXPECT_EQ(TrN("{count} byte", "{count} bytes", 0), "{count} bytes");
  EXPECT_EQ(GroupedNumber(16777216), "16,777,216");
  EXPECT_EQ(GroupedNumber(999), "999");
  ASSERT_TRUE(UseLanguage(PseudoLanguage));
  EXPECT_EQ(Tr(""), "");
  EXPECT_NE(Tr("Upgrade Firmware"), "Upgrade Firmware");
  EXPECT_TRUE(UseLanguage(""));
  EXPECT_EQ(Tr("Upgrade Firmware"), "Upgrade Firmware");
}

}  // namespace
}  // namespace dalvorn

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

TEST(LanguageChoiceTest, FirstWishWithACatalogue) {
  const std::set<std::string, std::less<>> built = {"de", "fr", "pt_BR", "zh_CN", "ja", "x-pseudo"};
  const auto available = [&](std::string_view name) { return built.contains(name); };
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"de_DE.UTF-8"}, "de"},     {{"pt_BR.UTF-8"}, "pt_BR"},
      {{"pt_PT.UTF-8"}, ""},       {{"fr_CA@euro"}, "fr"},
      {{"ja-JP"}, "ja"},           {{"zh-Hans-CN"}, "zh_CN"},
      {{"zh-Hans"}, "zh_CN"},      {{"zh_TW.UTF-8"}, ""},
      {{"sv_SE", "", "de"}, "de"}, {{"en_US.UTF-8", "de"}, ""},
      {{"C.UTF-8"}, ""},           {{"POSIX", "de"}, ""},
      {{"x-pseudo"}, "x-pseudo"},  {{}, ""}};
  for (const auto& [wishes, chosen] : cases) {
    EXPECT_EQ(ChooseLanguage(wishes, available), chosen) << ::testing::PrintToString(wishes);
  }
}

TEST(LanguageChoiceTest, EnvironmentInGettextOrder) {
  using Variables = std::map<std::string, std::string>;
  const std::vector<std::pair<Variables, std::vector<std::string>>> cases = {
      {{{"LANGUAGE", "pl:de::fr"}, {"LANG", "C.UTF-8"}}, {"pl", "de", "fr", "C.UTF-8"}},
      {{{"LC_ALL", "fr_FR"}, {"LANG", "de_DE"}}, {"fr_FR"}},
      {{{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP"}, {"LANG", "de"}}, {"ja_JP"}},
      {{}, {}}};
  for (const auto& [variables, wishes] : cases) {
    const auto get = [&](const char* name) -> const char* {
      const auto found = variables.find(name);
      return found == variables.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(WishesFromEnvironment(get), wishes) << ::testing::PrintToString(variables);
  }
}

TEST(FormatTest, ReplacesNamedPlaceholdersOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"block {block} of {count}", "block 7 of 12"},
      {"{count}: {block}.", "12: 7."},
      {"{block}{block}", "77"},
      {"<{path}>", "<{count}>"},
      {"{x} {block {", "{x} {block {"},
      {"", ""}};
  for (const auto& [text, formatted] : cases) {
    EXPECT_EQ(Format(text, {{"block", "7"}, {"count", "12"}, {"path", "{count}"}}), formatted);
  }
}

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

TEST(EnglishTest, NoCatalogueLeavesEveryTextAsWritten) {
  EXPECT_FALSE(UseLanguage("xx"));
  EXPECT_EQ(CurrentLanguage(), "");
  EXPECT_EQ(Tr("Upgrade Firmware"), "Upgrade Firmware");
}

}  // namespace
}  // namespace dalvorn

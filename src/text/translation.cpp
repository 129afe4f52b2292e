#include "text/translation.h"

#include "text/built_in_catalogues.h"
#include "text/mo_catalogue.h"
#include "text/pseudo_language.h"

namespace dalvorn {
namespace {

// The language in use. Chosen once at start, before the window exists; read from then on.
struct Language {
  std::string name;  // empty: English
  bool pseudo = false;
  MoCatalogue catalogue;
  unsigned long (*plural)(unsigned long) = nullptr;
};

Language& Current() {
  static Language language;
  return language;
}

const generated::BuiltInCatalogue* FindBuiltIn(std::string_view language) {
  for (const generated::BuiltInCatalogue& built : generated::BuiltInCatalogues()) {
    if (built.language == language) return &built;
  }
  return nullptr;
}

bool IsEnglish(std::string_view language) {
  return language.empty() || language == "en" || language.starts_with("en_") ||
         language.starts_with("en-");
}

std::string Translated(std::string_view key, std::string_view english) {
  const Language& language = Current();
  if (english.empty()) return {};
  if (language.pseudo) return PseudoText(english);
  if (const auto found = language.catalogue.Find(key)) {
    if (const auto form = MoCatalogue::Form(*found, 0)) return std::string(*form);
  }
  return std::string(english);
}

}  // namespace

std::string Tr(std::string_view english) {
  return Translated(english, english);
}

std::string TrC(std::string_view context, std::string_view english) {
  std::string key(context);
  key += '\4';
  key += english;
  return Translated(key, english);
}

std::string TrN(std::string_view singular, std::string_view plural, std::uint64_t n) {
  const Language& language = Current();
  const std::string_view english = n == 1 ? singular : plural;
  if (language.pseudo) return PseudoText(english);
  if (language.plural != nullptr) {
    if (const auto found = language.catalogue.Find(singular)) {
      const auto index = language.plural(static_cast<unsigned long>(n));
      if (const auto form = MoCatalogue::Form(*found, index)) return std::string(*form);
    }
  }
  return std::string(english);
}

std::string Format(std::string_view text, std::initializer_list<TextArg> args) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const std::size_t open = text.find('{');
    out += text.substr(0, open);
    if (open == std::string_view::npos) break;
    text.remove_prefix(open);
    const std::size_t close = text.find('}');
    const TextArg* match = nullptr;
    if (close != std::string_view::npos) {
      for (const TextArg& arg : args) {
        if (text.substr(1, close - 1) == arg.name) match = &arg;
      }
    }
    if (match == nullptr) {
      out += '{';
      text.remove_prefix(1);
      continue;
    }
    out += match->value;
    text.remove_prefix(close + 1);
  }
  return out;
}

std::string GroupedNumber(std::uint64_t n) {
  // TRANSLATORS: the character that groups the digits of a large number by threes
  // (16,777,216), as the language writes it: "." in German, a no-break space in French.
  const std::string separator = Current().pseudo ? "," : TrC("digit group separator", ",");
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text += separator;
    text.push_back(digits[i]);
  }
  return text;
}

bool UseLanguage(std::string_view language) {
  Language& current = Current();
  current = Language{};
  if (IsEnglish(language)) return true;
  if (language == PseudoLanguage) {
    current.name = language;
    current.pseudo = true;
    return true;
  }
  const generated::BuiltInCatalogue* built = FindBuiltIn(language);
  if (built == nullptr || !current.catalogue.Read(built->mo, built->size)) {
    current = Language{};
    return false;
  }
  current.name = language;
  current.plural = built->plural;
  return true;
}

std::string CurrentLanguage() {
  return Current().name;
}

bool HasCatalogue(std::string_view language) {
  return language == PseudoLanguage || FindBuiltIn(language) != nullptr;
}

}  // namespace dalvorn

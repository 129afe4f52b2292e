// The program's texts in the person's language. English is the source: every text a person
// sees or hears is written in English where it is used and marked with one of the functions
// below, which xgettext reads (scripts/update-po.sh makes po/dalvorn-firmware-update.pot of
// them). The translations are gettext catalogues (po/LANG.po) compiled into the program; the
// language is chosen once, at start (language_choice.h). With no language chosen, or one with
// no catalogue, every text is the English one, byte for byte.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dalvorn {

// The name of the pseudo-language for testing: every text bracketed, accented and 40 % longer,
// so that a text that bypassed the catalogue, or one that is cut, shows at a glance.
inline constexpr std::string_view PseudoLanguage = "x-pseudo";

// The text in the current language.
std::string Tr(std::string_view english);

// The text written alike in English for two meanings, told apart by `context`.
std::string TrC(std::string_view context, std::string_view english);

// A text with a count: the current language's form for `n` (English: `singular` for 1,
// `plural` otherwise). The count itself goes in through a placeholder, "{count}".
std::string TrN(std::string_view singular, std::string_view plural, std::uint64_t n);

// Marks a text for the catalogue where it cannot be translated yet (a table built at compile
// time); it is translated with Tr where it is shown.
constexpr std::string_view TrMark(std::string_view english) {
  return english;
}

// A placeholder's name and value: "{name}" in a text stands for `value`.
struct TextArg {
  std::string_view name;
  std::string value;
};

// `text` with each "{name}" replaced by its value; a brace that names no argument stays as it is.
// Translators may put the placeholders in any order.
std::string Format(std::string_view text, std::initializer_list<TextArg> args);

// A whole number with the current language's digit grouping: 16777216 as "16,777,216" in
// English, "16.777.216" in German.
std::string GroupedNumber(std::uint64_t n);

// Uses the catalogue of `language` ("de", "pt_BR", PseudoLanguage) from now on. Empty or
// "en...": English. False, and English, when no catalogue of that name is built in.
bool UseLanguage(std::string_view language);

// The language in use: the catalogue's name, empty for English.
std::string CurrentLanguage();

// Whether a catalogue of that name is built in (the pseudo-language counts; English does not).
bool HasCatalogue(std::string_view language);

}  // namespace dalvorn

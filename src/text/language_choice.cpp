#include "text/language_choice.h"

#include <cctype>

#include "text/translation.h"

namespace dalvorn {
namespace {

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Raised(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The catalogue names a wish may stand for, best first. Empty for a wish for English, C or
// POSIX, which ends the search.
std::vector<std::string> Candidates(std::string_view wish) {
  if (wish == PseudoLanguage) return {std::string(PseudoLanguage)};
  // "de_DE.UTF-8@euro" -> "de_DE"; "zh-Hans-CN" -> "zh", "Hans", "CN".
  wish = wish.substr(0, wish.find_first_of(".@"));
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= wish.size();) {
    const std::size_t end = wish.find_first_of("_-", start);
    parts.emplace_back(wish.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  const std::string language = Lowered(parts.front());
  if (language.empty() || language == "c" || language == "posix" || language == "en") return {};
  std::string script, region;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].size() == 4 && script.empty() && region.empty()) script = Lowered(parts[i]);
    if ((parts[i].size() == 2 || parts[i].size() == 3) && region.empty()) {
      region = Raised(parts[i]);
    }
  }
  std::vector<std::string> names;
  // Chinese in simplified characters, however the system names it, reads the zh_CN catalogue.
  const bool simplified = script == "hans" || region == "CN" || region == "SG";
  if (language == "zh" && simplified) names.emplace_back("zh_CN");
  if (!region.empty()) names.push_back(language + "_" + region);
  names.push_back(language);
  return names;
}

}  // namespace

std::string ChooseLanguage(const std::vector<std::string>& wishes,
                           const std::function<bool(std::string_view)>& available) {
  for (const std::string& wish : wishes) {
    if (wish.empty()) continue;
    const std::vector<std::string> names = Candidates(wish);
    if (names.empty()) return {};  // English asked for
    for (const std::string& name : names) {
      if (available ? available(name) : HasCatalogue(name)) return name;
    }
  }
  return {};
}

std::vector<std::string> WishesFromEnvironment(
    const std::function<const char*(const char*)>& variable) {
  std::vector<std::string> wishes;
  if (const char* list = variable("LANGUAGE"); list != nullptr) {
    const std::string_view text(list);
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find(':', start);
      if (end == std::string_view::npos) end = text.size();
      if (end > start) wishes.emplace_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = variable(name);
    if (value != nullptr && *value != '\0') {
      wishes.emplace_back(value);
      break;
    }
  }
  return wishes;
}

std::string UseSystemLanguage() {
  const std::string language = ChooseLanguage(SystemLanguageWishes());
  UseLanguage(language);
  return CurrentLanguage();
}

}  // namespace dalvorn

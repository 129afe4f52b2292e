#include <windows.h>

#include <cstdlib>

#include "text/language_choice.h"
#include "text/text_codec.h"

namespace dalvorn {

std::vector<std::string> SystemLanguageWishes() {
  std::vector<std::string> wishes = WishesFromEnvironment([](const char* name) {
    return std::string_view(name) == "LANGUAGE" ? std::getenv(name) : nullptr;
  });
  // "de-DE\0en-US\0\0": the user's UI languages, best first.
  ULONG count = 0, size = 0;
  if (!::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) {
    return wishes;
  }
  std::wstring names(size, L'\0');
  if (!::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) {
    return wishes;
  }
  for (std::size_t start = 0; start < names.size() && names[start] != L'\0';) {
    const std::size_t end = names.find(L'\0', start);
    wishes.push_back(Utf8FromWide(std::wstring_view(names).substr(start, end - start)));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return wishes;
}

}  // namespace dalvorn

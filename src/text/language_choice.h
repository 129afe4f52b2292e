// Which language the program speaks: the system's, with no setting of its own. A person's
// wishes come from the system, best first, written as the system writes them ("de_DE.UTF-8",
// "pt-BR", "zh-Hans-CN", "C"); the first one with a built-in catalogue is taken.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dalvorn {

// The catalogue for the wishes: for each wish in turn, the language with its region ("pt_BR"),
// then the language alone ("pt"), the first that `available` has. A wish for English, C or
// POSIX, or none left: English (""). By default, the catalogues built in.
std::string ChooseLanguage(const std::vector<std::string>& wishes,
                           const std::function<bool(std::string_view)>& available = {});

// The wishes in the environment, in gettext's order: the entries of LANGUAGE (a list separated
// by colons), then the first of LC_ALL, LC_MESSAGES and LANG that is set. Unlike gettext's own
// lookup, LANGUAGE counts also when the locale is C, so that LANGUAGE=de works in a bare shell.
std::vector<std::string> WishesFromEnvironment(
    const std::function<const char*(const char*)>& variable);

// The system's wishes: the environment's on Linux; on Windows LANGUAGE (as gettext's programs
// take it there too), then the user's preferred UI languages (GetUserPreferredUILanguages).
std::vector<std::string> SystemLanguageWishes();

// Chooses the language from the system's wishes and uses it (UseLanguage, translation.h).
// Returns its name, empty for English.
std::string UseSystemLanguage();

}  // namespace dalvorn

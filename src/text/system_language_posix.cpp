#include <cstdlib>

#include "text/language_choice.h"

namespace dalvorn {

std::vector<std::string> SystemLanguageWishes() {
  return WishesFromEnvironment([](const char* name) { return std::getenv(name); });
}

}  // namespace dalvorn

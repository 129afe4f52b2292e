// The pseudo-language for testing (PseudoLanguage, translation.h): the English text with its
// letters accented, bracketed, and made 40 % longer, its placeholders ("{name}") left as they
// are. A screenshot in it shows at a glance a text that bypassed the catalogue (plain English)
// and one that is cut (no closing bracket).
#pragma once

#include <string>
#include <string_view>

namespace dalvorn {

std::string PseudoText(std::string_view english);

}  // namespace dalvorn

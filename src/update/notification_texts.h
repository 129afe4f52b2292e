// The texts of the notification an update's end gives the desktop.
#pragma once

#include <string>

namespace dalvorn {

std::string UpdatedTitle();
// "PRODUCT now runs version X.Y.", as the device shows its product and version after its
// restart; an empty product reads as "The device".
std::string UpdatedBody(const std::string& product, const std::string& version);
// The failure's body is the text of its message box.
std::string UpdateFailedTitle();

}  // namespace dalvorn

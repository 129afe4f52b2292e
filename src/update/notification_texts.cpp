#include "update/notification_texts.h"

namespace dalvorn {

std::string UpdatedTitle() {
  return "Firmware updated";
}

std::string UpdatedBody(const std::string& product, const std::string& version) {
  return (product.empty() ? std::string("The device") : product) + " now runs version " + version +
         ".";
}

std::string UpdateFailedTitle() {
  return "Firmware update failed";
}

}  // namespace dalvorn

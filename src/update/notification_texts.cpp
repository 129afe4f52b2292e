#include "update/notification_texts.h"

#include "text/translation.h"

namespace dalvorn {

std::string UpdatedTitle() {
  return Tr("Firmware updated");
}

std::string UpdatedBody(const std::string& product, const std::string& version) {
  if (product.empty()) {
    return Format(Tr("The device now runs version {version}."), {{"version", version}});
  }
  // TRANSLATORS: {product} is the product's name as the device gives it, such as "Widget".
  return Format(Tr("{product} now runs version {version}."),
                {{"product", product}, {"version", version}});
}

std::string UpdateFailedTitle() {
  return Tr("Firmware update failed");
}

}  // namespace dalvorn

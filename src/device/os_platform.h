// The platform operations of the operating system the program runs on.
#pragma once

#include <memory>

#include "device/hid_platform.h"

namespace dalvorn {

std::unique_ptr<HidPlatform> MakeOsPlatform();

}  // namespace dalvorn

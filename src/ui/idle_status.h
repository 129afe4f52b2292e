// What the status line says and whether the upgrade button is enabled, from what the window
// knows while it idles: the button is enabled only when a click can start an update.
#pragma once

#include <cstddef>
#include <string>

#include "update/firmware_image.h"

namespace dalvorn {

struct IdleFacts {
  bool deviceFound = false;   // the search found the device
  bool inBootloader = false;  // found in bootloader mode
  std::size_t devices = 0;    // of the kind, counted by physical device as at the click
  bool imageTaken = false;    // the image passed the check before the click
  ImageCheck image;           // what that check found
};

struct StatusDecision {
  std::string text;
  bool buttonEnabled = false;
};

// A refused image first (whatever the device, the click would refuse it), then no device, more
// than one, a device in its bootloader, and a device ready.
StatusDecision DecideStatus(const IdleFacts& facts);

}  // namespace dalvorn

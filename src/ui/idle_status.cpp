#include "ui/idle_status.h"

#include "update/status_texts.h"

namespace dalvorn {

StatusDecision DecideStatus(const IdleFacts& facts) {
  if (!facts.imageTaken) return {ImageProblemText(FirmwareImageName, facts.image), false};
  if (!facts.deviceFound) return {ConnectDeviceText(), false};
  if (facts.devices > 1) return {DevicesOfTheKindText(facts.devices), false};
  if (facts.inBootloader) return {InBootloaderText(), true};
  return {ReadyToUpdateText(facts.image.bytes), true};
}

}  // namespace dalvorn

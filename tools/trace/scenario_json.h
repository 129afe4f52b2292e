// A recorded run as a scenario file, in the format the emulated runner reads.
#pragma once

#include <nlohmann/json.hpp>

#include "recorded_run.h"

namespace dalvorn::emulator {

nlohmann::ordered_json ScenarioJson(const RecordedRun& run);

}  // namespace dalvorn::emulator

// The upgrade button's captions while the update runs, one for each phase, in English; they are
// shown through Tr (text/translation.h), in the person's language.
#pragma once

#include <array>
#include <string_view>

#include "text/translation.h"

namespace dalvorn {

inline constexpr std::string_view SwitchingCaption = TrMark("Switching to bootloader...");
inline constexpr std::string_view UpdatingCaption = TrMark("Updating firmware...");
inline constexpr std::string_view FinishingCaption = TrMark("Finishing...");

inline constexpr std::array<std::string_view, 3> UpgradeCaptions = {
    SwitchingCaption, UpdatingCaption, FinishingCaption};

}  // namespace dalvorn

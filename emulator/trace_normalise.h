// A trace reduced to what a replay on the emulated runner must reproduce of a recorded one.
#pragma once

#include <string>
#include <vector>

#include "emulator/scenario_from_trace.h"

namespace dalvorn::emulator {

// Drops what differs between a real host and its replay and says nothing of what the program
// did: every `t`, the emulated device's own `device` lines, `os_error`, the paths of
// CreateFileA and the detail record sizes (`size`, `needed`) that follow from them (a vanished
// interface's size below 5 is kept), and the `ms` of pauses (the pacing pauses are what was left of
// the real clock's interval). Handle values become the order in which they were handed out, one
// count each for files, interface sets and preparsed data: "file#1", "set#2", ...; 0 and -1 stay as
// they are. Physical devices become the order in which they were first named: "physical#1", ...
std::vector<TraceLine> NormaliseTrace(const std::vector<TraceLine>& trace);

// The first line at which two normalised traces differ, as a short report; empty when equal.
std::string CompareNormalised(const std::vector<TraceLine>& recorded,
                              const std::vector<TraceLine>& replayed);

}  // namespace dalvorn::emulator

// What a trace line must be before anything reads it: its text small and shallow enough to
// parse without risk, and its fields of the types and ranges the trace format gives them, so that
// the readers of a trace (the scenario it becomes, its normalised form) never meet a surprise.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string_view>

#include "trace_line.h"

namespace dalvorn::emulator {

// The limits on one line of a trace, checked before it is parsed.
inline constexpr std::size_t MaxTraceLineBytes = 1024 * 1024;
inline constexpr int MaxTraceNesting = 64;
// Members of one JSON object: a line of the format has about ten.
inline constexpr std::size_t MaxTraceObjectMembers = 256;
// The longest text field taken (a path, a physical device's name, a message).
inline constexpr std::size_t MaxTraceTextBytes = 64 * 1024;

// What is wrong with one line, without saying where: the reader adds the file and line.
class TraceLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws TraceLineError when the text nests deeper than MaxTraceNesting or has an object of
// more than MaxTraceObjectMembers members. Reads the text once, with no recursion.
void CheckTraceLineShape(std::string_view text);

// Throws TraceLineError naming the first field that is missing, of the wrong type or out of its
// range: `ev` for every line; for a `call`, `fn`, `result` and the arguments of that operation
// (handles as 64-bit integers, IDs and lengths in their ranges, byte data as hexadecimal);
// `op` of window, image, power and device lines; the battery's fields and the hold's `result`
// of power lines; `code` of the exit line.
void CheckTraceFields(const TraceLine& line);

}  // namespace dalvorn::emulator

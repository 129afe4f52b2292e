// One line of a trace as the trace tool reads it, and the fault of a trace that cannot be read.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace dalvorn::emulator {

using TraceLine = nlohmann::ordered_json;

// What is wrong with a trace, naming the file and the line.
class TraceReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace dalvorn::emulator

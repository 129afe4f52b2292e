// SHA-256 of a byte sequence, for the trace's record of the device's flash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dalvorn::emulator {

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);
inline std::string Sha256Hex(const std::vector<std::uint8_t>& data) {
  return Sha256Hex(data.data(), data.size());
}

}  // namespace dalvorn::emulator

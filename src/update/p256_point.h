// Whether a public key's point lies on the P-256 curve, worked out here, with no library: a key
// file is judged alike on every system, before any signature is checked with it.
#pragma once

#include <array>
#include <cstdint>

#include "update/firmware_signature.h"

namespace dalvorn {

// True when `point` is 0x04 || X || Y with X and Y below the field's prime p and
// Y^2 = X^3 - 3X + b (mod p). The curve's order is prime, so every such point is a valid key.
bool IsPointOnP256(const std::array<std::uint8_t, PublicKeyPointBytes>& point);

}  // namespace dalvorn

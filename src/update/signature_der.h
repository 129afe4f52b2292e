// The ECDSA signature as `openssl dgst -sign` writes it (DER: a SEQUENCE of the two INTEGERs r
// and s), read strictly into the fixed-width form r||s that the verifiers take.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace dalvorn {

// r and s of a P-256 signature, each 32 bytes big-endian, r first.
using RawSignature = std::array<std::uint8_t, 64>;

// The longest DER form of a P-256 signature: SEQUENCE header, two INTEGERs of 33 bytes.
inline constexpr std::size_t MaxDerSignatureBytes = 2 + 2 * (2 + 33);

// Reads `data` as exactly one DER SEQUENCE of two positive INTEGERs and nothing after it:
// definite lengths in their shortest form, each INTEGER in its shortest form (one leading 0x00
// only where the next byte has its top bit set), nonzero, and at most 32 bytes once that 0x00 is
// dropped. False for anything else, `raw` then left unspecified. Never reads outside `data`.
bool ParseDerSignature(const std::uint8_t* data, std::size_t size, RawSignature& raw);

}  // namespace dalvorn

// The system's cryptography behind the signature check: OpenSSL's libcrypto on Linux, CNG
// (bcrypt.dll) on Windows. Both take the signature as r||s, read by ParseDerSignature, so
// that both accept exactly the same signature files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/firmware_signature.h"
#include "update/signature_der.h"

namespace dalvorn {

using Sha256Digest = std::array<std::uint8_t, 32>;

enum class CryptoResult { Match, NoMatch, Failed };

// SHA-256 of `size` bytes at `data`. False with `error` set when the system fails.
bool Sha256(const std::uint8_t* data, std::size_t size, Sha256Digest& digest, std::string& error);

// Whether `signature` is an ECDSA P-256 signature of `digest` by `key`. A key the system does
// not take (a point off the curve) matches nothing. Failed, with `error`, when the system fails.
CryptoResult VerifyP256(const FirmwarePublicKey& key, const Sha256Digest& digest,
                        const RawSignature& signature, std::string& error);

}  // namespace dalvorn

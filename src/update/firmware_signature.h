// The maker's signature of the firmware image: `Varnholt.bin.sig` beside the image, an ECDSA
// P-256 signature over the SHA-256 of the whole file in DER form, exactly as
//   openssl dgst -sha256 -sign maker-key.pem -out Varnholt.bin.sig Varnholt.bin
// writes it. A build made with the maker's public keys (DALVORN_FIRMWARE_PUBLIC_KEYS) takes only
// an image that one of them verifies; a build without keys checks nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dalvorn {

// A maker's public key: the P-256 point in its uncompressed form, 0x04 || X || Y.
inline constexpr std::size_t PublicKeyPointBytes = 65;
struct FirmwarePublicKey {
  std::array<std::uint8_t, PublicKeyPointBytes> point{};
};
using FirmwareKeys = std::vector<FirmwarePublicKey>;

// The keys this build was made with (generated/dalvorn/firmware_keys.h); empty by default.
FirmwareKeys BuiltInFirmwareKeys();

// The signature file is read under the image's rules, and is never larger than this.
inline constexpr std::uint64_t MaxSignatureFileBytes = 1024;

// The signature's path: the image's with ".sig" after it.
std::string SignaturePath(const std::string& imagePath);

enum class SignatureVerdict {
  Verified,         // one of the keys verifies the signature over the image
  NoSignatureFile,  // there is no file at the signature's path
  Unreadable,       // it cannot be read as the image's rules say (not a regular file, too large)
  Malformed,        // it is not one strict DER ECDSA P-256 signature
  NoMatch,          // no key verifies it over these bytes
  CheckFailed,      // the system's cryptography failed
};

// Checks `signature` (the DER bytes) over `image` with every key in turn: Verified, Malformed,
// NoMatch, or CheckFailed with the system's reason in `systemError`.
SignatureVerdict VerifyFirmwareSignature(const FirmwareKeys& keys,
                                         const std::vector<std::uint8_t>& image,
                                         const std::vector<std::uint8_t>& signature,
                                         std::string& systemError);

// Why a signature was refused, written to follow "is not signed by the maker: ", in the
// person's language: `name` is the signature file's name, `error` the reader's or the system's
// reason where the verdict has one. Empty for Verified.
std::string SignatureRefusalReason(SignatureVerdict verdict, const std::string& name,
                                   const std::string& error);

// Reads the signature beside `imagePath` and checks it over `image`, the image's bytes as already
// read. Anything but Verified sets `reason`, written to follow "is not signed by the maker: ".
SignatureVerdict CheckFirmwareSignature(const FirmwareKeys& keys, const std::string& imagePath,
                                        const std::vector<std::uint8_t>& image,
                                        std::string& reason);

}  // namespace dalvorn

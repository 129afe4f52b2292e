// A maker's public key in the PEM file `openssl pkey -pubout` writes: "PUBLIC KEY", a DER
// SubjectPublicKeyInfo of an ECDSA P-256 key with its point uncompressed. Read strictly, without
// any library, so that the emulated runner takes the same files on every system.
#pragma once

#include <string>
#include <string_view>

#include "update/firmware_signature.h"

namespace dalvorn {

// Reads `text` as one "-----BEGIN PUBLIC KEY-----" block: nothing but blank space around it,
// base64 lines (LF or CRLF) in canonical form, and exactly the SubjectPublicKeyInfo of an
// id-ecPublicKey on prime256v1 with an uncompressed point that lies on the curve. False with
// `error` set otherwise. A file of several keys is refused as such ("it holds N keys"): one key
// a file, as the build takes them, so that no key in it is passed over unseen.
bool ReadPublicKeyPem(std::string_view text, FirmwarePublicKey& key, std::string& error);

}  // namespace dalvorn

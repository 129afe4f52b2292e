// The signature check with Windows CNG (bcrypt.dll): the key imported as a
// BCRYPT_ECCPUBLIC_BLOB, the image hashed with BCryptHash, the signature verified as r||s.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "update/signature_crypto.h"

namespace dalvorn {
namespace {

constexpr ULONG P256Bytes = 32;

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}

std::string StatusText(const char* what, NTSTATUS status) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(status));
  return std::string(what) + " (NTSTATUS 0x" + hex + ")";
}

class Algorithm {
 public:
  explicit Algorithm(const wchar_t* name)
      : status_(::BCryptOpenAlgorithmProvider(&handle_, name, nullptr, 0)) {}
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  ~Algorithm() {
    if (Succeeded(status_)) ::BCryptCloseAlgorithmProvider(handle_, 0);
  }
  NTSTATUS Status() const { return status_; }
  BCRYPT_ALG_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
  NTSTATUS status_;
};

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (handle_ != nullptr) ::BCryptDestroyKey(handle_);
  }
  BCRYPT_KEY_HANDLE* Out() { return &handle_; }
  BCRYPT_KEY_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace

bool Sha256(const std::uint8_t* data, std::size_t size, Sha256Digest& digest, std::string& error) {
  const Algorithm sha(BCRYPT_SHA256_ALGORITHM);
  if (!Succeeded(sha.Status())) {
    error = StatusText("SHA-256 is not available", sha.Status());
    return false;
  }
  // The image is at most 16 MiB, well within one call's ULONG count.
  if (size > 0xFFFFFFFFu) {
    error = "the image is too large to hash";
    return false;
  }
  const NTSTATUS status =
      ::BCryptHash(sha.Get(), nullptr, 0, const_cast<PUCHAR>(data), static_cast<ULONG>(size),
                   digest.data(), static_cast<ULONG>(digest.size()));
  if (!Succeeded(status)) {
    error = StatusText("SHA-256 failed", status);
    return false;
  }
  return true;
}

CryptoResult VerifyP256(const FirmwarePublicKey& key, const Sha256Digest& digest,
                        const RawSignature& signature, std::string& error) {
  const Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!Succeeded(ecdsa.Status())) {
    error = StatusText("ECDSA P-256 is not available", ecdsa.Status());
    return CryptoResult::Failed;
  }
  // BCRYPT_ECCKEY_BLOB, then X and Y (the point without its 0x04).
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * P256Bytes);
  BCRYPT_ECCKEY_BLOB header{};
  header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
  header.cbKey = P256Bytes;
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, key.point.data() + 1, 2 * P256Bytes);
  Key handle;
  if (key.point[0] != 0x04 ||
      !Succeeded(::BCryptImportKeyPair(ecdsa.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, handle.Out(),
                                       blob.data(), static_cast<ULONG>(blob.size()), 0))) {
    return CryptoResult::NoMatch;  // a key the system does not take verifies nothing
  }
  const NTSTATUS status = ::BCryptVerifySignature(
      handle.Get(), nullptr, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
      const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0);
  return Succeeded(status) ? CryptoResult::Match : CryptoResult::NoMatch;
}

}  // namespace dalvorn

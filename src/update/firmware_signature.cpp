#include "update/firmware_signature.h"

#include <filesystem>
#include <system_error>

#include "dalvorn/firmware_keys.h"
#include "file/regular_file.h"
#include "update/signature_crypto.h"

namespace dalvorn {
namespace {

// The signature file's own name, as the person sees it beside the image.
std::string QuotedName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return "\"" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "\"";
}

// Whether nothing at all lies at `path` (UTF-8); only asks the file system, opens nothing.
bool NothingAt(const std::string& path) {
  std::u8string text(path.begin(), path.end());
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(std::filesystem::path(text), ec);
  return status.type() == std::filesystem::file_type::not_found;
}

}  // namespace

FirmwareKeys BuiltInFirmwareKeys() {
  FirmwareKeys keys;
  for (const auto& point : generated::FirmwarePublicKeyPoints) {
    FirmwarePublicKey key;
    key.point = point;
    keys.push_back(key);
  }
  return keys;
}

std::string SignaturePath(const std::string& imagePath) {
  return imagePath + ".sig";
}

SignatureVerdict VerifyFirmwareSignature(const FirmwareKeys& keys,
                                         const std::vector<std::uint8_t>& image,
                                         const std::vector<std::uint8_t>& signature,
                                         std::string& systemError) {
  RawSignature raw{};
  if (!ParseDerSignature(signature.data(), signature.size(), raw)) {
    return SignatureVerdict::Malformed;
  }
  // Hashed once, whatever the number of keys.
  Sha256Digest digest{};
  if (!Sha256(image.data(), image.size(), digest, systemError)) {
    return SignatureVerdict::CheckFailed;
  }
  for (const FirmwarePublicKey& key : keys) {
    switch (VerifyP256(key, digest, raw, systemError)) {
      case CryptoResult::Match:
        return SignatureVerdict::Verified;
      case CryptoResult::Failed:
        return SignatureVerdict::CheckFailed;
      case CryptoResult::NoMatch:
        break;
    }
  }
  return SignatureVerdict::NoMatch;
}

SignatureVerdict CheckFirmwareSignature(const FirmwareKeys& keys, const std::string& imagePath,
                                        const std::vector<std::uint8_t>& image,
                                        std::string& reason) {
  const std::string path = SignaturePath(imagePath);
  const std::string name = QuotedName(path);
  std::vector<std::uint8_t> signature;
  std::string error;
  if (!ReadRegularFile(path, MaxSignatureFileBytes, signature, error)) {
    if (NothingAt(path)) {
      reason = "there is no signature file " + name + " beside it";
      return SignatureVerdict::NoSignatureFile;
    }
    reason = "its signature file " + name + " cannot be read (" + error + ")";
    return SignatureVerdict::Unreadable;
  }
  const SignatureVerdict verdict = VerifyFirmwareSignature(keys, image, signature, error);
  switch (verdict) {
    case SignatureVerdict::Verified:
      reason.clear();
      break;
    case SignatureVerdict::Malformed:
      reason = "its signature file " + name +
               " is malformed (it is not one DER-encoded ECDSA P-256 signature)";
      break;
    case SignatureVerdict::NoMatch:
      reason = "its signature " + name +
               " does not match any of the maker's keys (the image was changed, or signed by "
               "someone else)";
      break;
    case SignatureVerdict::CheckFailed:
    case SignatureVerdict::NoSignatureFile:
    case SignatureVerdict::Unreadable:
      reason = "its signature could not be checked (" + error + ")";
      break;
  }
  return verdict;
}

}  // namespace dalvorn

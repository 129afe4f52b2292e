#include "update/firmware_signature.h"

#include <filesystem>
#include <system_error>

#include "dalvorn/firmware_keys.h"
#include "file/regular_file.h"
#include "text/translation.h"
#include "update/signature_crypto.h"

namespace dalvorn {
namespace {

// The signature file's own name, as the person sees it beside the image.
std::string FileName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

std::string SignatureRefusalReason(SignatureVerdict verdict, const std::string& name,
                                   const std::string& error) {
  switch (verdict) {
    case SignatureVerdict::Verified:
      break;
    case SignatureVerdict::NoSignatureFile:
      return Format(Tr("there is no signature file \"{name}\" beside it"), {{"name", name}});
    case SignatureVerdict::Unreadable:
      return Format(Tr("its signature file \"{name}\" cannot be read ({error})"),
                    {{"name", name}, {"error", error}});
    case SignatureVerdict::Malformed:
      return Format(Tr("its signature file \"{name}\" is malformed (it is not one DER-encoded "
                       "ECDSA P-256 signature)"),
                    {{"name", name}});
    case SignatureVerdict::NoMatch:
      return Format(Tr("its signature \"{name}\" does not match any of the maker's keys (the image "
                       "was changed, or signed by someone else)"),
                    {{"name", name}});
    case SignatureVerdict::CheckFailed:
      return Format(Tr("its signature could not be checked ({error})"), {{"error", error}});
  }
  return {};
}

SignatureVerdict CheckFirmwareSignature(const FirmwareKeys& keys, const std::string& imagePath,
                                        const std::vector<std::uint8_t>& image,
                                        std::string& reason) {
  const std::string path = SignaturePath(imagePath);
  const std::string name = FileName(path);
  std::vector<std::uint8_t> signature;
  std::string error;
  if (!ReadRegularFile(path, MaxSignatureFileBytes, signature, error)) {
    const SignatureVerdict verdict =
        NothingAt(path) ? SignatureVerdict::NoSignatureFile : SignatureVerdict::Unreadable;
    reason = SignatureRefusalReason(verdict, name, error);
    return verdict;
  }
  const SignatureVerdict verdict = VerifyFirmwareSignature(keys, image, signature, error);
  reason = SignatureRefusalReason(verdict, name, error);
  return verdict;
}

}  // namespace dalvorn

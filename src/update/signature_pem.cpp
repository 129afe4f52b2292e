#include "update/signature_pem.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "update/p256_point.h"

namespace dalvorn {
namespace {

constexpr std::string_view Begin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view End = "-----END PUBLIC KEY-----";

// SubjectPublicKeyInfo up to the point: SEQUENCE { SEQUENCE { OID id-ecPublicKey (1.2.840.10045
// .2.1), OID prime256v1 (1.2.840.10045.3.1.7) }, BIT STRING (no unused bits) of 66 bytes }.
constexpr std::uint8_t P256InfoPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                           0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                           0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Canonical base64: groups of four, '=' only to pad the last group, and the bits the padding
// leaves over all zero.
bool DecodeBase64(const std::string& text, std::vector<std::uint8_t>& out) {
  out.clear();
  if (text.empty() || text.size() % 4 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const std::size_t padding =
        last ? static_cast<std::size_t>(std::count(text.end() - 2, text.end(), '=')) : 0;
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const char c = text[i + j];
      int value = 0;
      if (j >= 4 - padding) {
        if (c != '=') return false;
      } else {
        value = Base64Value(c);
        if (value < 0) return false;
      }
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(group >> 16),
                                  static_cast<std::uint8_t>(group >> 8),
                                  static_cast<std::uint8_t>(group)};
    if (padding == 2 && (group & 0xFFFF) != 0) return false;
    if (padding == 1 && (group & 0xFF) != 0) return false;
    out.insert(out.end(), bytes, bytes + 3 - padding);
  }
  return true;
}

// How many times `part` occurs in `text`.
std::size_t Occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

}  // namespace

bool ReadPublicKeyPem(std::string_view text, FirmwarePublicKey& key, std::string& error) {
  if (const std::size_t keys = Occurrences(text, Begin); keys > 1) {
    error = "it holds " + std::to_string(keys) + " keys; give each key in a file of its own";
    return false;
  }
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.substr(0, Begin.size()) != Begin || text.size() < Begin.size() + End.size() ||
      text.substr(text.size() - End.size()) != End) {
    error =
        "it is not one PEM public key (" + std::string(Begin) + " ... " + std::string(End) + ")";
    return false;
  }
  const std::string_view body = text.substr(Begin.size(), text.size() - Begin.size() - End.size());
  // Line breaks between the base64 lines; nothing else.
  std::string base64;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '\n') continue;
    if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') continue;
    base64.push_back(c);
  }
  const bool ownLines = body.size() >= 2 && body.back() == '\n' &&
                        (body.front() == '\n' || body.substr(0, 2) == "\r\n");
  if (!ownLines) {
    error = "its BEGIN and END lines are not lines of their own";
    return false;
  }
  std::vector<std::uint8_t> der;
  if (!DecodeBase64(base64, der)) {
    error = "its base64 text is malformed";
    return false;
  }
  if (der.size() != sizeof P256InfoPrefix + PublicKeyPointBytes ||
      !std::equal(std::begin(P256InfoPrefix), std::end(P256InfoPrefix), der.begin()) ||
      der[sizeof P256InfoPrefix] != 0x04) {
    error = "it is not an ECDSA P-256 public key with an uncompressed point";
    return false;
  }
  std::array<std::uint8_t, PublicKeyPointBytes> point{};
  std::copy(der.begin() + sizeof P256InfoPrefix, der.end(), point.begin());
  if (!IsPointOnP256(point)) {
    error = "its point is not on the P-256 curve";
    return false;
  }
  key.point = point;
  return true;
}

}  // namespace dalvorn

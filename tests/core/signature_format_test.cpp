// The strict readers behind the signature check: the DER signature (both verifiers take only
// what it takes) and the PEM public key the emulated runner reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../signature/signature_fixtures.h"
#include "update/p256_point.h"
#include "update/signature_der.h"
#include "update/signature_pem.h"

namespace dalvorn {
namespace {

namespace fx = testing::signature;
using Bytes = std::vector<std::uint8_t>;

// r = `r` and s = `s` (each right-aligned in 32 bytes), as ParseDerSignature gives them.
RawSignature Raw(const Bytes& r, const Bytes& s) {
  RawSignature raw{};
  std::copy(r.begin(), r.end(), raw.begin() + 32 - static_cast<std::ptrdiff_t>(r.size()));
  std::copy(s.begin(), s.end(), raw.end() - static_cast<std::ptrdiff_t>(s.size()));
  return raw;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(DerSignature, TakesOnlyOneMinimalSequenceOfTwoPositiveIntegers) {
  const Bytes ff32(32, 0xff);
  const Bytes ones33(33, 0x01);
  struct Case {
    const char* name;
    Bytes der;
    bool ok;
    RawSignature raw;
  };
  const Case cases[] = {
      {"Smallest", {0x30, 6, 2, 1, 1, 2, 1, 2}, true, Raw({1}, {2})},
      {"ZeroKeepsTheTopBitPositive", {0x30, 7, 2, 2, 0, 0x80, 2, 1, 1}, true, Raw({0x80}, {1})},
      {"FullWidth", Concat({{0x30, 70, 2, 33, 0}, ff32, {2, 33, 0}, ff32}), true, Raw(ff32, ff32)},
      {"NeedlessLeadingZero", {0x30, 7, 2, 2, 0, 0x7f, 2, 1, 1}, false, {}},
      {"TwoLeadingZeros", {0x30, 8, 2, 3, 0, 0, 0x80, 2, 1, 1}, false, {}},
      {"Negative", {0x30, 6, 2, 1, 0x80, 2, 1, 1}, false, {}},
      {"ZeroR", {0x30, 6, 2, 1, 0, 2, 1, 1}, false, {}},
      {"ZeroS", {0x30, 6, 2, 1, 1, 2, 1, 0}, false, {}},
      {"EmptyInteger", {0x30, 5, 2, 0, 2, 1, 1}, false, {}},
      {"WiderThan32Bytes", Concat({{0x30, 70, 2, 33}, ones33, {2, 33}, ones33}), false, {}},
      {"LongFormSequenceLength", {0x30, 0x81, 6, 2, 1, 1, 2, 1, 2}, false, {}},
      {"LongFormIntegerLength", {0x30, 7, 2, 0x81, 1, 1, 2, 1, 2}, false, {}},
      {"NotASequence", {0x31, 6, 2, 1, 1, 2, 1, 2}, false, {}},
      {"NotAnInteger", {0x30, 6, 3, 1, 1, 2, 1, 2}, false, {}},
      {"SequenceLongerThanTheInput", {0x30, 7, 2, 1, 1, 2, 1, 2}, false, {}},
      {"BytesAfterTheSequence", {0x30, 6, 2, 1, 1, 2, 1, 2, 0}, false, {}},
      {"IntegerRunsPastTheSequence", {0x30, 6, 2, 5, 1, 2, 1, 2}, false, {}},
      {"OneInteger", {0x30, 3, 2, 1, 1}, false, {}},
      {"ThreeIntegers", {0x30, 9, 2, 1, 1, 2, 1, 2, 2, 1, 3}, false, {}},
      {"HeaderOnly", {0x30, 0}, false, {}},
      {"OneByte", {0x30}, false, {}},
      {"Nothing", {}, false, {}},
      {"LongerThanAnyP256Signature", Bytes(73, 0x30), false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawSignature raw{};
    // A copy of exactly the case's size, so that AddressSanitizer sees any read beyond it.
    const std::vector<std::uint8_t> exact(c.der);
    EXPECT_EQ(ParseDerSignature(exact.data(), exact.size(), raw), c.ok);
    if (c.ok) {
      EXPECT_EQ(raw, c.raw);
    }
  }
}

// Maker A's key as openssl writes it, changed as each case says.
std::string PemOfA() {
  return std::string(fx::MakerAPem);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(PemPublicKey, ReadsAP256KeyAndRefusesEverythingElse) {
  const std::string a = PemOfA();
  const std::size_t bodyStart = a.find('\n') + 1;
  const std::size_t pad = a.find("==");
  std::string badPadBits = a;
  badPadBits[pad - 1] = badPadBits[pad - 1] == 'A' ? 'B' : static_cast<char>(a[pad - 1] + 1);
  std::string oneLine = Replaced(a, "\n", "");
  oneLine = Replaced(oneLine, "-----BEGIN PUBLIC KEY-----", "-----BEGIN PUBLIC KEY-----\n");
  oneLine = Replaced(oneLine, "-----END PUBLIC KEY-----", "\n-----END PUBLIC KEY-----");
  struct Case {
    const char* name;
    std::string text;
    const char* error;  // nullptr: taken
  };
  const Case cases[] = {
      {"AsOpensslWritesIt", a, nullptr},
      {"WindowsLineEnds", Replaced(a, "\n", "\r\n"), nullptr},
      {"BlankSpaceAround", "\n  " + a + "\n\n", nullptr},
      {"Base64OnOneLine", oneLine, nullptr},
      {"TextBeforeIt", "maker key\n" + a, "not one PEM public key"},
      {"PrivateKeyLabel", Replaced(a, "PUBLIC KEY", "PRIVATE KEY"), "not one PEM public key"},
      {"NoEndLine", a.substr(0, a.find("-----END")), "not one PEM public key"},
      {"BeginNotOnItsOwnLine", Replaced(a, "-----\nMFk", "-----MFk"), "lines of their own"},
      {"SpaceInTheBase64", a.substr(0, bodyStart + 4) + " " + a.substr(bodyStart + 4), "base64"},
      {"LetterOutsideBase64", a.substr(0, bodyStart + 4) + "*" + a.substr(bodyStart + 5), "base64"},
      {"PaddingBitsSet", badPadBits, "base64"},
      {"PaddingMissing", Replaced(a, "==", ""), "base64"},
      {"P384Key",
       "-----BEGIN PUBLIC KEY-----\n"
       "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEFW3ZFItuO+NFSZtEoHzTDfPym+eUySRP\n"
       "lW+/2as2wl9iagJOc/XmKr9O6rJAGWq6o9LWdUXCLmb+DfwjretbZjTnc7zmJLGn\n"
       "wxG6tnKZaJVPRVSOf/GvPx/tz5XiYOb2\n"
       "-----END PUBLIC KEY-----\n",
       "not an ECDSA P-256 public key"},
      {"CompressedPoint",
       "-----BEGIN PUBLIC KEY-----\n"
       "MDkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDIgACyCaLs0KFLzpnzIPC/su3Ma++kMmo\n"
       "6nCbRl8eAC6tPfg=\n"
       "-----END PUBLIC KEY-----\n",
       "not an ECDSA P-256 public key"},
      {"Ed25519Key",
       "-----BEGIN PUBLIC KEY-----\n"
       "MCowBQYDK2VwAyEApWAkVR4gy8r7yTLQ4+hgVUlG6tyHWvAiQa9ZsYAwEXM=\n"
       "-----END PUBLIC KEY-----\n",
       "not an ECDSA P-256 public key"},
      {"Empty", "", "not one PEM public key"},
      {"PointOffTheCurve", Replaced(a, "3w==", "3g=="), "not on the P-256 curve"},
      {"TwoKeys", a + std::string(fx::MakerBPem), "it holds 2 keys"},
      {"OneKeyTwice", a + "\n" + a, "it holds 2 keys"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FirmwarePublicKey key;
    std::string error;
    const bool ok = ReadPublicKeyPem(c.text, key, error);
    EXPECT_EQ(ok, c.error == nullptr) << error;
    if (c.error == nullptr) {
      EXPECT_EQ(key.point, fx::MakerAPoint);
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

// A point as 0x04 || X || Y from the two coordinates in hexadecimal, 64 digits each.
std::array<std::uint8_t, PublicKeyPointBytes> Point(const std::string& x, const std::string& y) {
  std::array<std::uint8_t, PublicKeyPointBytes> point{0x04};
  const std::string digits = x + y;
  for (std::size_t i = 0; i < 64; ++i) {
    point[1 + i] = static_cast<std::uint8_t>(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
  }
  return point;
}

TEST(P256Point, OnlyAPointOfTheCurveWithCoordinatesBelowThePrime) {
  const std::string p = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";
  const std::string gx = "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";
  const std::string gy = "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5";
  // The square root of b: (0, it) lies on the curve, and so would (p, it) once reduced.
  const std::string rootOfB = "66485c780e2f83d72433bd5d84a06bb6541c2af31dae871728bf856a174f93f4";
  const std::string zero(64, '0');
  auto offByOne = fx::MakerAPoint;
  offByOne[64] ^= 1;
  const struct {
    const char* name;
    std::array<std::uint8_t, PublicKeyPointBytes> point;
    bool on;
  } cases[] = {
      {"MakerA", fx::MakerAPoint, true},     {"Generator", Point(gx, gy), true},
      {"XZero", Point(zero, rootOfB), true}, {"XIsThePrime", Point(p, rootOfB), false},
      {"YOffByOne", offByOne, false},        {"Origin", Point(zero, zero), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsPointOnP256(c.point), c.on) << c.name;
  }
}

}  // namespace
}  // namespace dalvorn

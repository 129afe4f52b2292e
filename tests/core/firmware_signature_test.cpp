// The maker's signature: one table of cases, run as it is on every system, so that the Linux
// build (OpenSSL) and the Windows build (CNG, under Wine) are held to the same answers; and the
// image file that takes an image only with a verified signature.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../signature/signature_fixtures.h"
#include "scratch_folder.h"
#include "update/firmware_image.h"
#include "update/firmware_signature.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace dalvorn {
namespace {

namespace fs = std::filesystem;
namespace fx = testing::signature;
using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& a) {
  return Bytes(a.begin(), a.end());
}

FirmwarePublicKey Key(const std::array<std::uint8_t, 65>& point) {
  FirmwarePublicKey key;
  key.point = point;
  return key;
}

// The offset of the last byte of r (which = 0) or of s in a DER signature, so that flipping a
// bit there keeps the encoding valid.
std::size_t LastByteOf(const Bytes& der, int which) {
  const std::size_t rEnd = 4 + der[3];
  return which == 0 ? rEnd - 1 : rEnd + 2 + der[rEnd + 1] - 1;
}

Bytes Flipped(Bytes bytes, std::size_t at) {
  bytes[at] ^= 0x01;
  return bytes;
}

// What lies at the signature's path in a case.
enum class SigFile { Written, Missing, Directory, Fifo };

struct VerifyCase {
  const char* name;
  std::vector<FirmwarePublicKey> keys;
  Bytes image;  // the bytes in memory, as read
  SigFile file;
  Bytes signature;
  SignatureVerdict verdict;
};

void PrintTo(const VerifyCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<VerifyCase> VerifyCases() {
  const FirmwarePublicKey a = Key(fx::MakerAPoint);
  const FirmwarePublicKey b = Key(fx::MakerBPoint);
  const Bytes image = ToBytes(fx::Image);
  const Bytes good = ToBytes(fx::ByALowS);
  Bytes trailing = good;
  trailing.push_back(0x00);
  using V = SignatureVerdict;
  std::vector<VerifyCase> cases = {
      {"GoodSignature", {a}, image, SigFile::Written, good, V::Verified},
      {"HighSFormAlsoVerifies", {a}, image, SigFile::Written, ToBytes(fx::ByAHighS), V::Verified},
      {"SignedByAnotherKey", {a}, image, SigFile::Written, ToBytes(fx::ByB), V::NoMatch},
      {"SecondOfTwoKeysSigns", {a, b}, image, SigFile::Written, ToBytes(fx::ByB), V::Verified},
      {"OneBitFlippedInTheImage", {a}, Flipped(image, 100), SigFile::Written, good, V::NoMatch},
      {"OneBitFlippedInTheTail", {a}, Flipped(image, 210), SigFile::Written, good, V::NoMatch},
      {"OneBitFlippedInR",
       {a},
       image,
       SigFile::Written,
       Flipped(good, LastByteOf(good, 0)),
       V::NoMatch},
      {"OneBitFlippedInS",
       {a},
       image,
       SigFile::Written,
       Flipped(good, LastByteOf(good, 1)),
       V::NoMatch},
      {"SignedWithoutTheTail", {a}, image, SigFile::Written, ToBytes(fx::HeadByA), V::NoMatch},
      {"Truncated",
       {a},
       image,
       SigFile::Written,
       Bytes(good.begin(), good.end() - 1),
       V::Malformed},
      {"Empty", {a}, image, SigFile::Written, {}, V::Malformed},
      {"TrailingGarbage", {a}, image, SigFile::Written, trailing, V::Malformed},
      {"OversizedFile", {a}, image, SigFile::Written, Bytes(1025, 0x30), V::Unreadable},
      {"OversizedButReadable", {a}, image, SigFile::Written, Bytes(1024, 0x30), V::Malformed},
      {"MissingFile", {a}, image, SigFile::Missing, {}, V::NoSignatureFile},
      {"Directory", {a}, image, SigFile::Directory, {}, V::Unreadable},
  };
#ifndef _WIN32
  cases.push_back({"Fifo", {a}, image, SigFile::Fifo, {}, V::Unreadable});
#endif
  return cases;
}

class SignatureTable : public ::testing::TestWithParam<VerifyCase> {
 protected:
  const testing::ScratchFolder dir_;
};

TEST_P(SignatureTable, GivesTheSameVerdictOnEverySystem) {
  const VerifyCase& c = GetParam();
  const std::string image = FirmwareImagePath(dir_.Path());
  const std::string sig = SignaturePath(image);
  switch (c.file) {
    case SigFile::Written:
      std::ofstream(sig, std::ios::binary)
          .write(reinterpret_cast<const char*>(c.signature.data()),
                 static_cast<std::streamsize>(c.signature.size()));
      break;
    case SigFile::Directory:
      fs::create_directory(sig);
      break;
    case SigFile::Fifo:
#ifndef _WIN32
      ASSERT_EQ(::mkfifo(sig.c_str(), 0600), 0);
#endif
      break;
    case SigFile::Missing:
      break;
  }
  std::string reason;
  EXPECT_EQ(CheckFirmwareSignature(c.keys, image, c.image, reason), c.verdict) << reason;
  const char* const expected[] = {"",
                                  "there is no signature file",
                                  "cannot be read",
                                  "is malformed",
                                  "does not match any of the maker's keys",
                                  "could not be checked"};
  const auto index = static_cast<std::size_t>(c.verdict);
  if (c.verdict == SignatureVerdict::Verified) {
    EXPECT_EQ(reason, "");
  } else {
    EXPECT_NE(reason.find(expected[index]), std::string::npos) << reason;
    EXPECT_NE(reason.find("\"Varnholt.bin.sig\""), std::string::npos) << reason;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SignatureTable, ::testing::ValuesIn(VerifyCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(SignatureKeys, AnInvalidPointMatchesNothingAndNoKeyVerifiesNothing) {
  FirmwarePublicKey offCurve = Key(fx::MakerAPoint);
  offCurve.point[64] ^= 0x01;  // Y no longer fits X
  FirmwarePublicKey compressed = Key(fx::MakerAPoint);
  compressed.point[0] = 0x06;  // the "hybrid" form, taken only uncompressed
  const Bytes image = ToBytes(fx::Image);
  const Bytes good = ToBytes(fx::ByALowS);
  std::string error;
  EXPECT_EQ(VerifyFirmwareSignature({offCurve}, image, good, error), SignatureVerdict::NoMatch);
  EXPECT_EQ(VerifyFirmwareSignature({compressed}, image, good, error), SignatureVerdict::NoMatch);
  EXPECT_EQ(VerifyFirmwareSignature({}, image, good, error), SignatureVerdict::NoMatch);
  EXPECT_EQ(VerifyFirmwareSignature({offCurve, Key(fx::MakerAPoint)}, image, good, error),
            SignatureVerdict::Verified);
}

// The image file: without keys as before, with keys only a verified image is taken.
TEST(SignedImageFile, TakesOnlyAVerifiedImageAndSaysWhy) {
  const fs::path dir = fs::temp_directory_path() / "dalvorn-signed-image-file";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = FirmwareImagePath(dir.string());
  const auto write = [](const std::string& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  };
  write(path, ToBytes(fx::Image));
  struct Case {
    const char* name;
    FirmwareKeys keys;
    bool withSignature;
    bool loaded;
    ImageSignature signature;
  };
  const Case cases[] = {
      {"NoKeysNoSignature", {}, false, true, ImageSignature::NotChecked},
      {"KeysAndSignature", {Key(fx::MakerAPoint)}, true, true, ImageSignature::Verified},
      {"KeysOfAnotherMaker", {Key(fx::MakerBPoint)}, true, false, ImageSignature::Refused},
      {"KeysWithoutSignature", {Key(fx::MakerAPoint)}, false, false, ImageSignature::Refused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(SignaturePath(path));
    if (c.withSignature) write(SignaturePath(path), ToBytes(fx::ByALowS));
    DiskFirmwareImageFile file(c.keys);
    FirmwareImage image;
    image.signature = ImageSignature::Verified;  // whatever a previous reading left
    std::string error;
    EXPECT_EQ(file.Load(path, image, error), c.loaded) << error;
    EXPECT_EQ(image.signature, c.signature);
    EXPECT_EQ(image.bytes.size(), c.loaded ? fx::Image.size() : 0u);
    EXPECT_EQ(error.empty(), c.loaded) << error;
  }
  // An image refused before its signature is read says so, not that it is unsigned.
  fs::remove(path);
  DiskFirmwareImageFile file(FirmwareKeys{Key(fx::MakerAPoint)});
  FirmwareImage image;
  std::string error;
  EXPECT_FALSE(file.Load(path, image, error));
  EXPECT_EQ(image.signature, ImageSignature::NotChecked);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace dalvorn

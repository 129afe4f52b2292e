// The firmware image: a plain file of 40-byte records next to the program's executable, read
// whole into memory before anything is sent to the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "device/device_codes.h"
#include "update/firmware_signature.h"

namespace dalvorn {

inline constexpr std::size_t FlashRecordSize = DataBlockRecordBytes;
inline constexpr const char* FirmwareImageName = "Varnholt.bin";
// The largest image taken: 16 MiB, about 2.3 hours of data blocks at the protocol's pace.
inline constexpr std::uint64_t MaxFirmwareImageBytes = 16u * 1024u * 1024u;

// The image's path in `programFolder`.
std::string FirmwareImagePath(const std::string& programFolder);

// What the maker's signature made of the image: Verified only when the build (or the emulated
// runner) has keys and one of them verified it; Refused when the image was refused for its
// signature.
enum class ImageSignature { NotChecked, Verified, Refused };

// The image as read, in memory. Only whole records are ever sent; a shorter tail is not.
struct FirmwareImage {
  std::vector<std::uint8_t> bytes;
  ImageSignature signature = ImageSignature::NotChecked;

  std::size_t WholeRecords() const { return bytes.size() / FlashRecordSize; }
  // The progress bar's divisor: the whole records and one more, so the bar never shows full
  // width before the device has restarted.
  std::int64_t RecordCount() const { return static_cast<std::int64_t>(WholeRecords()) + 1; }
  // Record `index` (from 0), FlashRecordSize bytes in file order.
  const std::uint8_t* Record(std::size_t index) const {
    return bytes.data() + index * FlashRecordSize;
  }
};

// What a look at the image before the click found: its size, and its signature when the build
// has keys; or, refused, why (`error`, and `signature` Refused when that is the reason).
struct ImageCheck {
  std::uint64_t bytes = 0;
  ImageSignature signature = ImageSignature::NotChecked;
  SignatureVerdict verdict = SignatureVerdict::Verified;  // why, when refused for its signature
  std::string error;
};

// Where the update gets its image from: read once, whole, on the click, and looked at before.
class FirmwareImageFile {
 public:
  virtual ~FirmwareImageFile() = default;

  // Whether Load would take the image at `path` now, by the same rules, reading only what they
  // need: the file's size and kind, and, with keys, the image and its signature. False with
  // `check.error` set to the reason Load would give. Never changes the file.
  virtual bool Check(const std::string& path, ImageCheck& check) = 0;

  // Reads the image at `path` into `image`. False with `error` set to the reason when the
  // image is refused: it cannot be opened, is not a regular file, cannot be read to its end,
  // holds no whole record, or is larger than MaxFirmwareImageBytes; or, with keys, when its
  // signature does not verify (`image.signature` is then Refused). The file is only read.
  virtual bool Load(const std::string& path, FirmwareImage& image, std::string& error) = 0;
};

// The image on the file system. Made with keys (the program passes BuiltInFirmwareKeys()), it
// also reads the signature beside the image, right after the image, and takes the image only
// when one of the keys verifies it over the bytes read. Without keys nothing is checked.
class DiskFirmwareImageFile final : public FirmwareImageFile {
 public:
  DiskFirmwareImageFile() = default;
  explicit DiskFirmwareImageFile(FirmwareKeys keys) : keys_(std::move(keys)) {}

  bool Load(const std::string& path, FirmwareImage& image, std::string& error) override;
  bool Check(const std::string& path, ImageCheck& check) override;

 private:
  FirmwareKeys keys_;
};

// The checks on an image's contents once read: false with `error` set when it holds no whole
// record.
bool CheckFirmwareImage(const FirmwareImage& image, std::string& error);

// Why an image of `bytes` bytes, less than one record, is refused.
std::string ShortImageReason(std::uint64_t bytes);

}  // namespace dalvorn

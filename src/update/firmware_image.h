// The firmware image: a plain file of 40-byte records next to the program's executable, read
// whole into memory before anything is sent to the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dalvorn {

inline constexpr std::size_t FlashRecordSize = 40;
inline constexpr const char* FirmwareImageName = "Varnholt.bin";
// The largest image taken: 16 MiB, about 2.3 hours of data blocks at the protocol's pace.
inline constexpr std::uint64_t MaxFirmwareImageBytes = 16u * 1024u * 1024u;

// The image's path in `programFolder`.
std::string FirmwareImagePath(const std::string& programFolder);

// The image as read, in memory. Only whole records are ever sent; a shorter tail is not.
struct FirmwareImage {
  std::vector<std::uint8_t> bytes;

  std::size_t WholeRecords() const { return bytes.size() / FlashRecordSize; }
  // The progress bar's divisor: the whole records and one more, so the bar never shows full
  // width before the device has restarted.
  std::int64_t RecordCount() const { return static_cast<std::int64_t>(WholeRecords()) + 1; }
  // Record `index` (from 0), FlashRecordSize bytes in file order.
  const std::uint8_t* Record(std::size_t index) const {
    return bytes.data() + index * FlashRecordSize;
  }
};

// Where the update gets its image from: read once, whole, on the click.
class FirmwareImageFile {
 public:
  virtual ~FirmwareImageFile() = default;

  // Reads the image at `path` into `image`. False with `error` set to the reason when the
  // image is refused: it cannot be opened, is not a regular file, cannot be read to its end,
  // holds no whole record, or is larger than MaxFirmwareImageBytes. The file is only read.
  virtual bool Load(const std::string& path, FirmwareImage& image, std::string& error) = 0;
};

// The image on the file system.
class DiskFirmwareImageFile final : public FirmwareImageFile {
 public:
  bool Load(const std::string& path, FirmwareImage& image, std::string& error) override;
};

// The checks on an image's contents once read: false with `error` set when it holds no whole
// record.
bool CheckFirmwareImage(const FirmwareImage& image, std::string& error);

}  // namespace dalvorn

// The firmware image: a plain file of 40-byte records next to the program's executable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace dalvorn {

inline constexpr std::size_t FlashRecordSize = 40;
inline constexpr const char* FirmwareImageName = "Varnholt.bin";

// The image's path in `programFolder`.
std::string FirmwareImagePath(const std::string& programFolder);

// Reading access to the image, one record at a time. The image is only ever read: opening a
// missing file fails, it is never created.
class FirmwareImageFile {
 public:
  virtual ~FirmwareImageFile() = default;

  // Opens for reading at position 0 with the end-of-file flag clear. False with `error` set
  // to the reason when the file cannot be opened (a missing file included).
  virtual bool Open(const std::string& path, std::string& error) = 0;

  // Reads the next FlashRecordSize bytes into `record` and returns how many were read. When
  // fewer than a whole record remain it takes what there is and sets the end-of-file flag;
  // ending exactly on a record boundary does not set it.
  virtual std::size_t ReadRecord(std::uint8_t (&record)[FlashRecordSize]) = 0;

  // False after opening, even for an empty file, until a read comes up short.
  virtual bool Eof() const = 0;

  virtual void Close() = 0;
};

// The image on the file system.
class DiskFirmwareImageFile final : public FirmwareImageFile {
 public:
  DiskFirmwareImageFile() = default;
  DiskFirmwareImageFile(const DiskFirmwareImageFile&) = delete;
  DiskFirmwareImageFile& operator=(const DiskFirmwareImageFile&) = delete;
  ~DiskFirmwareImageFile() override;

  bool Open(const std::string& path, std::string& error) override;
  std::size_t ReadRecord(std::uint8_t (&record)[FlashRecordSize]) override;
  bool Eof() const override { return eof_; }
  void Close() override;

 private:
  std::FILE* file_ = nullptr;
  bool eof_ = false;
};

// The counting pass: opens the image, counts the record reads up to and including the one
// that meets the end of the file, and closes it. For a file of S bytes that is S / 40 + 1.
// False with `error` set when the image cannot be opened.
bool CountImageRecords(FirmwareImageFile& image, const std::string& path, std::int64_t& recordCount,
                       std::string& error);

}  // namespace dalvorn

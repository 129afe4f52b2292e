#include "update/firmware_image.h"

#include <cerrno>
#include <cstring>

namespace dalvorn {

std::string FirmwareImagePath(const std::string& programFolder) {
#ifdef _WIN32
  return programFolder + "\\" + FirmwareImageName;
#else
  return programFolder + "/" + FirmwareImageName;
#endif
}

DiskFirmwareImageFile::~DiskFirmwareImageFile() {
  Close();
}

bool DiskFirmwareImageFile::Open(const std::string& path, std::string& error) {
  Close();
  eof_ = false;
  errno = 0;
  file_ = std::fopen(path.c_str(), "rb");  // read only: a missing image is never created
  if (file_ == nullptr) {
    error = errno != 0 ? std::strerror(errno) : "cannot be opened";
    return false;
  }
  return true;
}

std::size_t DiskFirmwareImageFile::ReadRecord(std::uint8_t (&record)[FlashRecordSize]) {
  if (file_ == nullptr) {
    eof_ = true;
    return 0;
  }
  const std::size_t count = std::fread(record, 1, FlashRecordSize, file_);
  if (count < FlashRecordSize) eof_ = true;
  return count;
}

void DiskFirmwareImageFile::Close() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

bool CountImageRecords(FirmwareImageFile& image, const std::string& path, std::int64_t& recordCount,
                       std::string& error) {
  if (!image.Open(path, error)) return false;
  recordCount = 0;
  std::uint8_t record[FlashRecordSize] = {};
  while (!image.Eof()) {
    image.ReadRecord(record);
    ++recordCount;
  }
  image.Close();
  return true;
}

}  // namespace dalvorn

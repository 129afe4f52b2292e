#include "update/firmware_image.h"

#include "file/regular_file.h"
#include "text/translation.h"

namespace dalvorn {

std::string FirmwareImagePath(const std::string& programFolder) {
#ifdef _WIN32
  return programFolder + "\\" + FirmwareImageName;
#else
  return programFolder + "/" + FirmwareImageName;
#endif
}

bool CheckFirmwareImage(const FirmwareImage& image, std::string& error) {
  if (image.WholeRecords() == 0) {
    error = Format(
        TrN("it holds {count} byte, less than one record of {record} bytes",
            "it holds {count} bytes, less than one record of {record} bytes", image.bytes.size()),
        {{"count", GroupedNumber(image.bytes.size())},
         {"record", std::to_string(FlashRecordSize)}});
    return false;
  }
  return true;
}

bool DiskFirmwareImageFile::Load(const std::string& path, FirmwareImage& image,
                                 std::string& error) {
  image.bytes.clear();
  image.signature = ImageSignature::NotChecked;
  if (!ReadRegularFile(path, MaxFirmwareImageBytes, image.bytes, error) ||
      !CheckFirmwareImage(image, error)) {
    image.bytes.clear();
    return false;
  }
  if (keys_.empty()) return true;
  // Checked over the bytes just read, which are the ones sent: a file changed since is not.
  if (CheckFirmwareSignature(keys_, path, image.bytes, error) != SignatureVerdict::Verified) {
    image.bytes.clear();
    image.signature = ImageSignature::Refused;
    return false;
  }
  image.signature = ImageSignature::Verified;
  return true;
}

}  // namespace dalvorn

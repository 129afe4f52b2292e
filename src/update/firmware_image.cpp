#include "update/firmware_image.h"

#include "file/regular_file.h"
#include "text/text_codec.h"

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
    error = "it holds " + WithThousands(image.bytes.size()) +
            (image.bytes.size() == 1 ? " byte" : " bytes") + ", less than one record of " +
            std::to_string(FlashRecordSize) + " bytes";
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

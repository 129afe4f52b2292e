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

std::string ShortImageReason(std::uint64_t bytes) {
  return "it holds " + WithThousands(bytes) + (bytes == 1 ? " byte" : " bytes") +
         ", less than one record of " + std::to_string(FlashRecordSize) + " bytes";
}

bool CheckFirmwareImage(const FirmwareImage& image, std::string& error) {
  if (image.WholeRecords() == 0) {
    error = ShortImageReason(image.bytes.size());
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

bool DiskFirmwareImageFile::Check(const std::string& path, ImageCheck& check) {
  check = ImageCheck{};
  if (!ProbeRegularFile(path, MaxFirmwareImageBytes, check.bytes, check.error)) return false;
  if (check.bytes < FlashRecordSize) {
    check.error = ShortImageReason(check.bytes);
    return false;
  }
  if (keys_.empty()) return true;
  // The signature is over the whole image: only then is the image read.
  FirmwareImage image;
  if (!ReadRegularFile(path, MaxFirmwareImageBytes, image.bytes, check.error) ||
      !CheckFirmwareImage(image, check.error)) {
    return false;
  }
  check.bytes = image.bytes.size();
  check.verdict = CheckFirmwareSignature(keys_, path, image.bytes, check.error);
  check.signature = check.verdict == SignatureVerdict::Verified ? ImageSignature::Verified
                                                                : ImageSignature::Refused;
  return check.verdict == SignatureVerdict::Verified;
}

}  // namespace dalvorn

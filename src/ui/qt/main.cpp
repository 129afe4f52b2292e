// dalvorn-firmware-update: updates the firmware of the Dalvorn device.
#include <QApplication>

#include "device/os_platform.h"
#include "ui/qt/qt_application.h"
#include "update/firmware_image.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  const auto platform = dalvorn::MakeOsPlatform();
  dalvorn::DiskFirmwareImageFile image;
  return dalvorn::RunMainWindow(*platform, image);
}

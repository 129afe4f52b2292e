#include "ui/qt/qt_application.h"

#include <QApplication>
#include <QString>

#include "ui/main_window_run.h"
#include "ui/qt/qt_window_view.h"
#include "ui/window_controls.h"

// Registers the compiled-in icon images; the resource lives in a static library, so it is
// registered by hand. Outside any namespace, as Qt requires.
static void RegisterIconResources() {
  Q_INIT_RESOURCE(dalvorn_icons);
}

namespace dalvorn {
namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QIcon ApplicationIcon() {
  RegisterIconResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/dalvorn-firmware-update-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/icons/dalvorn-firmware-update-16.png"), QSize(16, 16));
  return icon;
}

void SetUpApplication(QApplication& app) {
  QApplication::setApplicationName(ToQString(ApplicationName));
  QApplication::setApplicationVersion(ToQString(ApplicationVersion));
  QApplication::setDesktopFileName(QStringLiteral("dalvorn-firmware-update"));
  QApplication::setWindowIcon(ApplicationIcon());
  // The window's unloading ends the event loop, also from inside a click or a nested pump.
  app.setQuitOnLastWindowClosed(false);
}

int RunMainWindow(QtWindowView& qtWindow, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks, PowerGuard& power,
                  IdleWatch& watch, DesktopShell& shell) {
  // An unload before the loop runs cannot end the loop; there is then no loop to run.
  const auto eventLoop = [&qtWindow] {
    if (!qtWindow.Unloaded()) QApplication::exec();
  };
  return RunMainWindow(eventLoop, view, platform, image, hooks, power, watch, shell);
}

}  // namespace dalvorn

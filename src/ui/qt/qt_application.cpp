#include "ui/qt/qt_application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include "text/language_choice.h"
#include "text/translation.h"
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

// Qt's own texts (a message box's button) in the pseudo-language, so that none shows in
// English there either; Qt's settings written as texts ("QT_LAYOUT_DIRECTION") stay as they are.
class PseudoQtTexts final : public QTranslator {
 public:
  QString translate(const char* /*context*/, const char* source, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (source == nullptr || std::string_view(source).starts_with("QT_")) return {};
    return QString::fromStdString(Tr(source));
  }
  bool isEmpty() const override { return false; }
};

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

std::string UseSystemLanguageWithQt() {
  const std::string language = UseSystemLanguage();
  if (language.empty()) return language;
  // No display name for Qt: it would add one to the window's title, which is the caption alone.
  if (language == PseudoLanguage) {
    static PseudoQtTexts pseudo;
    QCoreApplication::installTranslator(&pseudo);
    return language;
  }
  // Qt's own catalogue for the language, as Debian's qt6-translations-l10n installs it
  // (qtbase_de.qm, qtbase_pt_BR.qm): with none, Qt's texts stay English.
  static QTranslator qtTexts;
  if (qtTexts.load(QLocale(QString::fromStdString(language)), QStringLiteral("qtbase"),
                   QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&qtTexts);
  }
  return language;
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

// Application setup and the run of the main window through the Qt event loop, shared by the
// real program and the emulated runner.
#pragma once

#include <QIcon>
#include <string>

#include "device/desktop_shell.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "ui/idle_watch.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"

class QApplication;

namespace dalvorn {

class QtWindowView;
class WindowView;

// The program's icon, 32 x 32 and 16 x 16.
QIcon ApplicationIcon();

// Names the application "Dalvorn firmware update", version "1.01.0001", sets its window
// icon, and leaves ending the program to the main window's unloading. Call once, right
// after creating the QApplication.
void SetUpApplication(QApplication& app);

// Speaks the system's language from now on (text/language_choice.h), Qt's own texts (a
// message box's buttons) included when the system has Qt's translations for it. Returns the
// language, empty for English. Call once, after SetUpApplication, before the window is made.
std::string UseSystemLanguageWithQt();

// Runs the main window (ui/main_window_run.h) through the Qt event loop: `qtWindow` draws it;
// `view` is what the window's behaviour drives, `qtWindow` itself or a view that forwards to it
// (a trace, for one). Returns the program's exit status.
int RunMainWindow(QtWindowView& qtWindow, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks = {},
                  PowerGuard& power = NoPowerService(), IdleWatch& watch = NoIdleWatchService(),
                  DesktopShell& shell = NoDesktopService());

}  // namespace dalvorn

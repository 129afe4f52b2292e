// The main window's behaviour: its handlers and what they call. The toolkit that draws the
// window is behind WindowView; the platform behind HidPlatform.
#pragma once

#include <cstdint>
#include <string>

#include "device/desktop_shell.h"
#include "device/device_session.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "ui/device_info_display.h"
#include "ui/idle_status.h"
#include "ui/idle_watch.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"
#include "update/update_window.h"
#include "update/upgrade_outcome.h"

namespace dalvorn {

// How long the notifications of a burst (one device's interfaces, a hub's devices, a file being
// copied) must have been quiet before the window looks again: one search for the burst.
inline constexpr std::uint32_t QuietMilliseconds = 250;

class FrmMain final : public WindowEvents, public UpdateWindow, public IdleWatchEvents {
 public:
  // `power` holds the machine awake during the update; by default there is no power service.
  // `watch` tells the idle window of devices coming and going and of the image's folder; by
  // default nothing does, and the window looks only at its load. `shell` shows the update's
  // progress on the taskbar and notifies its end; by default nothing does.
  FrmMain(HidPlatform& platform, WindowView& view, FirmwareImageFile& image,
          PowerGuard& power = NoPowerService(), IdleWatch& watch = NoIdleWatchService(),
          DesktopShell& shell = NoDesktopService());
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  // Shows the window, measures and hides the progress bar, searches for the device, shows what
  // was found, checks the image, says in the status line what a click would do and starts
  // watching for changes.
  void Form_Load();
  // Stops watching, closes both device handles and lets go of the power hold; called through
  // WindowEvents when the window unloads.
  void Form_Unload() override;
  // Closes both device handles once more as the program ends.
  void Form_Terminate();
  // Stops watching and runs the whole update when a device was found.
  void btnUpgradeFW_Click() override;

  // IdleWatchEvents: while the window idles, a change starts (or starts again) the quiet time;
  // once it is over, the window searches again when an interface came or went, checks the
  // image again when its folder changed, and says what a click would do now.
  void DeviceInterfaceChanged() override;
  void ProgramFolderChanged() override;
  void QuietTimeOver() override;

  // Fills the four value labels from the session, or blanks them with no device.
  void ShowDeviceInfo() override;
  std::string ProductShown() const override { return shown_.product; }
  std::string VersionShown() const override { return shown_.version; }

  // The program's exit status: 0 after an update that ended with the device back in
  // application mode, or when the idle window was closed; nonzero otherwise.
  int ExitCode() const { return ExitStatus(outcome_); }
  UpgradeOutcome Outcome() const { return outcome_; }
  bool Unloaded() const { return unloaded_; }

  DeviceSession& Session() { return session_; }
  const DeviceSession& Session() const { return session_; }
  // The progress bar's full width in twips, measured at the load; the update scales the bar
  // to it.
  std::int16_t ProgressFullWidth() const { return progressFullWidth_; }

  // UpdateWindow
  void SetUpgradeCaption(const std::string& text) override;
  void SetUpgradeEnabled(bool enabled) override;
  void SetStatusText(const std::string& text) override;
  void SetProgressVisible(bool visible) override;
  void SetProgressWidth(float twips) override;
  void RepaintProgress() override;
  bool PumpEvents() override;
  void ShowMessageBox(const std::string& text) override;
  void Unload() override;

 private:
  void CountDevices();
  void CheckImage();
  // The status line and the button as the facts say; each set only when it changes.
  void ShowStatus();
  void StartWatching();
  void StopWatching();

  HidPlatform& platform_;
  WindowView& view_;
  FirmwareImageFile& image_;
  PowerGuard& power_;
  IdleWatch& watch_;
  DesktopShell& shell_;
  DeviceSession session_;
  DeviceShown shown_;
  IdleFacts facts_;
  std::string statusText_;
  int buttonEnabled_ = -1;  // as last set: 0 or 1; -1 before the load sets it
  bool watching_ = false;
  bool interfacesChanged_ = false;
  bool folderChanged_ = false;
  std::int16_t progressFullWidth_ = 0;
  UpgradeOutcome outcome_ = UpgradeOutcome::NotStarted;
  bool unloaded_ = false;
};

}  // namespace dalvorn

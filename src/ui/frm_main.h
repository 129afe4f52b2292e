// The main window's behaviour: its handlers and what they call. The toolkit that draws the
// window is behind WindowView; the platform behind HidPlatform.
#pragma once

#include <cstdint>
#include <string>

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"
#include "update/update_window.h"
#include "update/upgrade_outcome.h"

namespace dalvorn {

class FrmMain final : public WindowEvents, public UpdateWindow {
 public:
  // `power` holds the machine awake during the update; by default there is no power service.
  FrmMain(HidPlatform& platform, WindowView& view, FirmwareImageFile& image,
          PowerGuard& power = NoPowerService());
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  // Shows the window, measures and hides the progress bar, searches for the device and
  // shows what was found.
  void Form_Load();
  // Closes both device handles and lets go of the power hold; called through WindowEvents when
  // the window unloads.
  void Form_Unload() override;
  // Closes both device handles once more as the program ends.
  void Form_Terminate();
  // Runs the whole update when a device was found.
  void btnUpgradeFW_Click() override;

  // Fills the four value labels from the session, or blanks them with no device.
  void ShowDeviceInfo() override;

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
  void SetProgressVisible(bool visible) override;
  void SetProgressWidth(float twips) override;
  void RepaintProgress() override;
  bool PumpEvents() override;
  void ShowMessageBox(const std::string& text) override;
  void Unload() override;

 private:
  HidPlatform& platform_;
  WindowView& view_;
  FirmwareImageFile& image_;
  PowerGuard& power_;
  DeviceSession session_;
  std::int16_t progressFullWidth_ = 0;
  UpgradeOutcome outcome_ = UpgradeOutcome::NotStarted;
  bool unloaded_ = false;
};

}  // namespace dalvorn

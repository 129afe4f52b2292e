#include "ui/frm_main.h"

#include <cmath>
#include <limits>

#include "device/device_codes.h"
#include "device/device_count.h"
#include "device/find_the_hid.h"
#include "ui/device_info_display.h"
#include "update/upgrade_sequence.h"

namespace dalvorn {
namespace {

// Rounds to the nearest integer, halves to the even neighbour, within the 16-bit range.
std::int16_t RoundWidth(float twips) {
  const double rounded = std::nearbyint(static_cast<double>(twips));
  if (!(rounded >= std::numeric_limits<std::int16_t>::min())) return 0;
  if (rounded > std::numeric_limits<std::int16_t>::max()) {
    return std::numeric_limits<std::int16_t>::max();
  }
  return static_cast<std::int16_t>(rounded);
}

}  // namespace

FrmMain::FrmMain(HidPlatform& platform, WindowView& view, FirmwareImageFile& image,
                 PowerGuard& power, IdleWatch& watch, DesktopShell& shell)
    : platform_(platform),
      view_(view),
      image_(image),
      power_(power),
      watch_(watch),
      shell_(shell) {}

void FrmMain::Form_Load() {
  view_.Show();
  progressFullWidth_ = RoundWidth(view_.Width(Control::ProgressFill));
  view_.SetVisible(Control::ProgressFill, false);
  FindTheHid(session_, platform_);
  ShowDeviceInfo();
  CountDevices();
  CheckImage();
  ShowStatus();
  StartWatching();
}

void FrmMain::Form_Unload() {
  unloaded_ = true;
  StopWatching();
  CloseDeviceHandles(session_, platform_);
  // Whatever the update's outcome, or with no update at all; the unload runs once.
  power_.Release();
}

void FrmMain::Form_Terminate() {
  CloseDeviceHandles(session_, platform_);
}

void FrmMain::btnUpgradeFW_Click() {
  // The update's own waits search; what the system tells meanwhile changes nothing.
  StopWatching();
  UpgradeContext context{session_, platform_, *this, image_, power_, progressFullWidth_, shell_};
  const UpgradeOutcome outcome = RunUpgradeSequence(context);
  if (outcome != UpgradeOutcome::NotStarted) {
    outcome_ = outcome;
  } else if (!unloaded_) {
    StartWatching();
  }
}

void FrmMain::DeviceInterfaceChanged() {
  if (!watching_) return;
  interfacesChanged_ = true;
  watch_.StartQuietTimer(QuietMilliseconds);
}

void FrmMain::ProgramFolderChanged() {
  if (!watching_) return;
  folderChanged_ = true;
  watch_.StartQuietTimer(QuietMilliseconds);
}

void FrmMain::QuietTimeOver() {
  if (!watching_) return;
  if (interfacesChanged_) {
    interfacesChanged_ = false;
    // As the update's waits do: the previous search's handles closed, then the one search.
    CloseDeviceHandles(session_, platform_);
    FindTheHid(session_, platform_);
    ShowDeviceInfo();
    CountDevices();
  }
  if (folderChanged_) {
    folderChanged_ = false;
    CheckImage();
  }
  ShowStatus();
}

void FrmMain::CountDevices() {
  facts_.deviceFound = session_.DeviceFound;
  facts_.inBootloader = session_.DeviceFound && session_.DeviceAttrs.ProductID == BootProductID;
  // Without a device found there is none to count: no walk of the interfaces.
  facts_.devices = session_.DeviceFound ? CountDevicesOfTheKind(platform_) : 0;
}

void FrmMain::CheckImage() {
  facts_.imageTaken = image_.Check(FirmwareImagePath(platform_.ProgramFolder()), facts_.image);
}

void FrmMain::ShowStatus() {
  const StatusDecision decision = DecideStatus(facts_);
  SetStatusText(decision.text);
  if (buttonEnabled_ != static_cast<int>(decision.buttonEnabled)) {
    SetUpgradeEnabled(decision.buttonEnabled);
  }
}

void FrmMain::StartWatching() {
  if (watching_) return;
  watching_ = true;
  watch_.Start(*this, platform_.ProgramFolder());
  // A change told before a click that started nothing is still to be looked at.
  if (interfacesChanged_ || folderChanged_) watch_.StartQuietTimer(QuietMilliseconds);
}

void FrmMain::StopWatching() {
  if (!watching_) return;
  watching_ = false;
  watch_.Stop();
}

void FrmMain::ShowDeviceInfo() {
  ::dalvorn::ShowDeviceInfo(session_, platform_, view_, shown_);
}

void FrmMain::SetUpgradeCaption(const std::string& text) {
  view_.SetCaption(Control::btnUpgradeFW, text);
}

void FrmMain::SetUpgradeEnabled(bool enabled) {
  buttonEnabled_ = static_cast<int>(enabled);
  view_.SetEnabled(Control::btnUpgradeFW, enabled);
}

void FrmMain::SetStatusText(const std::string& text) {
  if (text == statusText_) return;
  statusText_ = text;
  view_.SetCaption(Control::lblStatus, text);
}

void FrmMain::SetProgressVisible(bool visible) {
  view_.SetVisible(Control::ProgressFill, visible);
}

void FrmMain::SetProgressWidth(float twips) {
  view_.SetWidth(Control::ProgressFill, twips);
}

void FrmMain::RepaintProgress() {
  view_.Repaint(Control::ProgressFill);
}

bool FrmMain::PumpEvents() {
  view_.PumpEvents();
  return !unloaded_;
}

void FrmMain::ShowMessageBox(const std::string& text) {
  view_.MessageBox(text);
}

void FrmMain::Unload() {
  view_.Unload();
}

}  // namespace dalvorn

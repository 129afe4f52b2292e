#include "ui/frm_main.h"

#include <cmath>
#include <limits>

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
                 PowerGuard& power)
    : platform_(platform), view_(view), image_(image), power_(power) {}

void FrmMain::Form_Load() {
  view_.Show();
  progressFullWidth_ = RoundWidth(view_.Width(Control::ProgressFill));
  view_.SetVisible(Control::ProgressFill, false);
  FindTheHid(session_, platform_);
  ShowDeviceInfo();
}

void FrmMain::Form_Unload() {
  unloaded_ = true;
  CloseDeviceHandles(session_, platform_);
  // Whatever the update's outcome, or with no update at all; the unload runs once.
  power_.Release();
}

void FrmMain::Form_Terminate() {
  CloseDeviceHandles(session_, platform_);
}

void FrmMain::btnUpgradeFW_Click() {
  UpgradeContext context{session_, platform_, *this, image_, power_, progressFullWidth_};
  const UpgradeOutcome outcome = RunUpgradeSequence(context);
  if (outcome != UpgradeOutcome::NotStarted) outcome_ = outcome;
}

void FrmMain::ShowDeviceInfo() {
  ::dalvorn::ShowDeviceInfo(session_, platform_, view_);
}

void FrmMain::SetUpgradeCaption(const std::string& text) {
  view_.SetCaption(Control::btnUpgradeFW, text);
}

void FrmMain::SetUpgradeEnabled(bool enabled) {
  view_.SetEnabled(Control::btnUpgradeFW, enabled);
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

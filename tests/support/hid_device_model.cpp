#include "hid_device_model.h"

#include <algorithm>

namespace dalvorn::linuxtest {

std::uint16_t HidDeviceModel::ProductId() const {
  return mode_ == ModelMode::App ? AppProductID : BootProductID;
}

std::uint16_t HidDeviceModel::Version() const {
  if (mode_ == ModelMode::Boot) return 0x0100;
  return updated_ ? 0x0103 : 0x0102;
}

bool HidDeviceModel::SetFeature(std::span<const std::uint8_t> report, ModelAction& action) {
  action = ModelAction::None;
  if (report.empty() || report[0] != 0) return false;
  const auto payload = report.subspan(1);
  const auto startsWith = [&](const auto& code) {
    return payload.size() >= code.size() && std::equal(code.begin(), code.end(), payload.begin());
  };
  if (mode_ == ModelMode::App) {
    if (startsWith(BootEntryCode)) action = ModelAction::ReappearAsBoot;
    return true;
  }
  if (startsWith(UnlockCode)) {
    unlocked_ = true;
    return true;
  }
  // A refused or interrupted block is not kept, as the device's flash does not take it.
  if (++blocks_ == unplugBlock_) action = ModelAction::Unplug;
  if (blocks_ == refuseBlock_ || blocks_ == unplugBlock_) return false;
  const std::size_t n = std::min(payload.size(), ModelRecordSize);
  flash_.insert(flash_.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(n));
  updated_ = true;
  return true;
}

void HidDeviceModel::GetFeature(std::span<std::uint8_t> report) {
  std::fill(report.begin(), report.end(), std::uint8_t{0});
  if (mode_ != ModelMode::Boot) return;
  statusRead_ = true;
  for (std::size_t i = 0; i < status_.size() && i + 1 < report.size(); ++i) {
    report[i + 1] = status_[i];
  }
}

ModelAction HidDeviceModel::AllHandlesClosed() {
  return mode_ == ModelMode::Boot && statusRead_ ? ModelAction::ReappearAsApp : ModelAction::None;
}

void HidDeviceModel::Reappeared(ModelAction action) {
  if (action == ModelAction::ReappearAsBoot) {
    mode_ = ModelMode::Boot;
    statusRead_ = false;
    ++switches_;
  } else if (action == ModelAction::ReappearAsApp) {
    mode_ = ModelMode::App;
    ++restarts_;
  }
}

}  // namespace dalvorn::linuxtest

#include "emulated_device.h"

#include <algorithm>

#include "device/device_codes.h"
#include "update/firmware_image.h"

namespace dalvorn::emulator {

EmulatedDevice::EmulatedDevice(const DeviceScenario& scenario)
    : scenario_(scenario),
      updatedApp_(scenario.appAfterUpdate ? Overlay(scenario.app, *scenario.appAfterUpdate)
                                          : scenario.app),
      present_(scenario.present && !scenario.pluggedAtMs),
      mode_(scenario.mode),
      plugAt_(scenario.pluggedAtMs),
      unplugAt_(scenario.unpluggedAtMs) {
  // Room for the largest image the program sends, so that the flash never moves while it
  // fills: only the pages written are taken from the system, and the process holds the image
  // once in the program and once here, as the device's own memory.
  flash_.reserve(MaxFirmwareImageBytes);
}

std::uint16_t EmulatedDevice::ProductId() const {
  return mode_ == DeviceMode::App ? AppProductID : BootProductID;
}

const ModeIdentity& EmulatedDevice::Identity() const {
  if (mode_ == DeviceMode::Boot) return scenario_.boot;
  // Blocks are only taken in bootloader mode, so application mode after a block is always
  // the application after a restart.
  return blocksTaken_ > 0 ? updatedApp_ : scenario_.app;
}

void EmulatedDevice::AdvanceTo(std::int64_t now) {
  while (ApplyNextChange(now)) {
  }
}

bool EmulatedDevice::ApplyNextChange(std::int64_t now) {
  enum class Change { None, Plug, Leave, Back, Unplug };
  Change next = Change::None;
  std::int64_t at = now;
  const auto consider = [&](Change change, std::int64_t t) {
    // At equal times the later candidate wins: an unplugging keeps the device from coming back.
    if (t <= at) {
      next = change;
      at = t;
    }
  };
  if (plugAt_) consider(Change::Plug, *plugAt_);
  if (departure_ && !departure_->left) consider(Change::Leave, departure_->leaveAt);
  if (departure_ && departure_->left && departure_->as != ComeBackAs::Never) {
    consider(Change::Back, departure_->backAt);
  }
  if (unplugAt_) consider(Change::Unplug, *unplugAt_);
  switch (next) {
    case Change::None:
      return false;
    case Change::Plug:
      plugAt_.reset();
      Arrive(at, mode_);
      break;
    case Change::Leave:
      departure_->left = true;
      present_ = false;
      events_.push_back({at, DeviceEvent::Kind::Left, mode_});
      break;
    case Change::Back: {
      const DeviceMode mode =
          departure_->as == ComeBackAs::App ? DeviceMode::App : DeviceMode::Boot;
      departure_.reset();
      Arrive(at, mode);
      break;
    }
    case Change::Unplug:
      unplugAt_.reset();
      departure_.reset();
      if (present_) events_.push_back({at, DeviceEvent::Kind::Left, mode_});
      present_ = false;
      break;
  }
  return true;
}

void EmulatedDevice::Arrive(std::int64_t t, DeviceMode mode) {
  mode_ = mode;
  present_ = true;
  ++appearance_;
  openHandles_ = 0;
  statusRead_ = false;
  events_.push_back({t, DeviceEvent::Kind::Arrived, mode_});
}

std::vector<DeviceEvent> EmulatedDevice::TakeEvents() {
  std::vector<DeviceEvent> taken;
  taken.swap(events_);
  return taken;
}

void EmulatedDevice::Depart(const Reappearance& how, std::int64_t now) {
  const std::int64_t leaveAt = now + how.leaveAfterMs;
  departure_ = Departure{leaveAt, leaveAt + how.backAfterMs, how.as};
  statusRead_ = false;
}

std::int32_t EmulatedDevice::SetFeature(const std::uint8_t* buffer, std::uint32_t length,
                                        std::int64_t now) {
  if (buffer == nullptr || length == 0) return 0;
  if (mode_ == DeviceMode::App) {
    const bool bootEntry = length > BootEntryCode.size() &&
                           std::equal(BootEntryCode.begin(), BootEntryCode.end(), buffer + 1);
    // A device already on its way out ignores a second request.
    if (bootEntry && !departure_) {
      Depart(scenario_.onBootEntry, now);
      if (scenario_.bootEntryFails) return 0;
    }
    return 1;
  }
  if (length > UnlockCode.size() && std::equal(UnlockCode.begin(), UnlockCode.end(), buffer + 1)) {
    unlocked_ = true;
    events_.push_back({now, DeviceEvent::Kind::Unlocked, mode_});
    return 1;
  }
  ++blocksReceived_;
  if (blocksReceived_ == scenario_.unplugAtBlock) {
    Depart(Reappearance{0, 0, ComeBackAs::Never}, now);
    AdvanceTo(now);
    return 0;
  }
  if (blocksReceived_ == scenario_.refuseBlock) return 0;
  const std::size_t count = std::min<std::size_t>(FlashRecordSize, length - 1);
  flash_.insert(flash_.end(), buffer + 1, buffer + 1 + count);
  ++blocksTaken_;
  return 1;
}

std::int32_t EmulatedDevice::GetFeature(std::uint8_t* buffer, std::uint32_t length) {
  if (buffer == nullptr || length == 0) return 0;
  std::fill(buffer, buffer + length, std::uint8_t{0});
  if (mode_ == DeviceMode::App) return 1;
  for (std::size_t i = 0; i < scenario_.status.size() && i + 1 < length; ++i) {
    buffer[i + 1] = scenario_.status[i];
  }
  statusRead_ = true;
  return scenario_.statusReadFails ? 0 : 1;
}

void EmulatedDevice::HandleOpened() {
  ++openHandles_;
}

void EmulatedDevice::HandleClosed(std::int64_t now) {
  if (openHandles_ > 0) --openHandles_;
  if (present_ && mode_ == DeviceMode::Boot && statusRead_ && openHandles_ == 0 && !departure_) {
    Depart(scenario_.onRestart, now);
  }
}

}  // namespace dalvorn::emulator

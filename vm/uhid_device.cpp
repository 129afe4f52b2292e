#include "uhid_device.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "device/device_codes.h"

namespace dalvorn::linuxtest {
namespace {

constexpr std::uint16_t BusUsb = 0x03;
constexpr int PollMilliseconds = 50;

}  // namespace

UhidDevice::UhidDevice(ModelMode mode, std::string serial, std::chrono::milliseconds toBootloader,
                       std::chrono::milliseconds toRestart)
    : model_(mode),
      serial_(std::move(serial)),
      toBootloader_(toBootloader),
      toRestart_(toRestart) {}

UhidDevice::~UhidDevice() {
  Stop();
}

bool UhidDevice::Start() {
  if (!Create()) return false;
  stop_ = false;
  served_ = true;
  server_ = std::thread([this] { Serve(); });
  return true;
}

bool UhidDevice::Stop() {
  stop_ = true;
  if (server_.joinable()) server_.join();
  Destroy();
  return served_;
}

HidDeviceModel UhidDevice::Model() {
  std::lock_guard lock(mutex_);
  return model_;
}

UhidTraffic UhidDevice::Traffic() {
  std::lock_guard lock(mutex_);
  return traffic_;
}

void UhidDevice::RefuseBlock(std::uint32_t block) {
  std::lock_guard lock(mutex_);
  model_.RefuseBlock(block);
}

// A /dev/uhid descriptor of its own for each creation: one reused after UHID_DESTROY still
// delivers the old device's events.
bool UhidDevice::Create() {
  fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (fd_ < 0) return false;
  const HidDeviceModel model = Model();
  auto ev = std::make_unique<uhid_event>();
  std::memset(ev.get(), 0, sizeof *ev);
  ev->type = UHID_CREATE2;
  const bool boot = model.Mode() == ModelMode::Boot;
  std::snprintf(reinterpret_cast<char*>(ev->u.create2.name), sizeof ev->u.create2.name, "%s",
                boot ? "Dalvorn Widget Boot" : "Dalvorn Widget");
  std::snprintf(reinterpret_cast<char*>(ev->u.create2.uniq), sizeof ev->u.create2.uniq, "%s",
                serial_.c_str());
  ev->u.create2.rd_size = static_cast<std::uint16_t>(ModelReportDescriptor.size());
  std::memcpy(ev->u.create2.rd_data, ModelReportDescriptor.data(), ModelReportDescriptor.size());
  ev->u.create2.bus = BusUsb;
  ev->u.create2.vendor = DeviceVendorID;
  ev->u.create2.product = model.ProductId();
  ev->u.create2.version = model.Version();
  return Write(*ev);
}

void UhidDevice::Destroy() {
  if (fd_ < 0) return;
  uhid_event ev{};
  ev.type = UHID_DESTROY;
  Write(ev);
  ::close(fd_);
  fd_ = -1;
}

bool UhidDevice::Switch(ModelAction action) {
  Destroy();
  std::uint16_t product = 0;
  {
    std::lock_guard lock(mutex_);
    model_.Reappeared(action);
    product = model_.ProductId();
  }
  if (action == ModelAction::Unplug) return true;
  if (atFirstSwitch_ && atFirstSwitchAway_) std::exchange(atFirstSwitch_, nullptr)();
  if (!Create()) return false;
  if (atFirstSwitch_) std::exchange(atFirstSwitch_, nullptr)();
  std::printf("guest: device %s re-created with product %04x\n", serial_.c_str(), product);
  return true;
}

void UhidDevice::Serve() {
  using Clock = std::chrono::steady_clock;
  auto ev = std::make_unique<uhid_event>();
  // A switch the device has been told of, and when it leaves the bus for it.
  ModelAction pending = ModelAction::None;
  Clock::time_point leaveAt;
  // Between UHID_OPEN and UHID_CLOSE: the host has the node open. A device due to leave then
  // leaves once the host has closed it, so that it never goes between an open and the queries
  // made on it (a replay of the trace could not place a departure there).
  bool hostOpen = false;
  while (!stop_) {
    int timeout = PollMilliseconds;
    if (pending != ModelAction::None) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(leaveAt - Clock::now());
      if (left.count() <= 0 && !hostOpen) {
        if (!Switch(pending)) break;
        pending = ModelAction::None;
        continue;
      }
      if (left.count() > 0) timeout = std::min(timeout, static_cast<int>(left.count()));
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeout);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    std::memset(ev.get(), 0, sizeof *ev);
    if (::read(fd_, ev.get(), sizeof *ev) <= 0) break;
    ModelAction action = ModelAction::None;
    if (!Handle(*ev, action)) break;
    if (ev->type == UHID_OPEN) hostOpen = true;
    if (ev->type == UHID_CLOSE) hostOpen = false;
    if (ev->type == UHID_OPEN && pending != ModelAction::None) {
      std::lock_guard lock(mutex_);
      ++(model_.Mode() == ModelMode::App ? traffic_.opensLeavingApp : traffic_.opensLeavingBoot);
    }
    // Told again while on its way (the host closed it again): it leaves when first told.
    if (action == ModelAction::None || pending != ModelAction::None) continue;
    const auto stay = action == ModelAction::ReappearAsBoot  ? toBootloader_
                      : action == ModelAction::ReappearAsApp ? toRestart_
                                                             : std::chrono::milliseconds(0);
    if (stay.count() == 0) {
      if (!Switch(action)) break;
      continue;
    }
    pending = action;
    leaveAt = Clock::now() + stay;
  }
  served_ = stop_.load();
}

bool UhidDevice::Write(const uhid_event& ev) {
  return ::write(fd_, &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev);
}

bool UhidDevice::Handle(const uhid_event& in, ModelAction& action) {
  std::lock_guard lock(mutex_);
  auto out = std::make_unique<uhid_event>();
  std::memset(out.get(), 0, sizeof *out);
  switch (in.type) {
    case UHID_GET_REPORT: {
      ++traffic_.reportsGot;
      out->type = UHID_GET_REPORT_REPLY;
      out->u.get_report_reply.id = in.u.get_report.id;
      // Report-ID byte first, as a USB device answers.
      std::vector<std::uint8_t> report(ModelFeatureReportLength, 0);
      model_.GetFeature(report);
      out->u.get_report_reply.size = static_cast<std::uint16_t>(report.size());
      std::memcpy(out->u.get_report_reply.data, report.data(), report.size());
      return Write(*out);
    }
    case UHID_SET_REPORT: {
      traffic_.reportsSet.push_back(std::chrono::steady_clock::now());
      if (model_.Mode() == ModelMode::App) ++traffic_.reportsSetInApp;
      const std::size_t size = std::min<std::size_t>(in.u.set_report.size, UHID_DATA_MAX);
      const std::vector<std::uint8_t> report(in.u.set_report.data, in.u.set_report.data + size);
      const bool ok = model_.SetFeature(report, action);
      out->type = UHID_SET_REPORT_REPLY;
      out->u.set_report_reply.id = in.u.set_report.id;
      out->u.set_report_reply.err = ok ? 0 : EIO;
      return Write(*out);
    }
    case UHID_CLOSE:
      // The host closed its last handle.
      action = model_.AllHandlesClosed();
      return true;
    default:
      return true;
  }
}

}  // namespace dalvorn::linuxtest

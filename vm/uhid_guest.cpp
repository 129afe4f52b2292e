// Runs inside the test VM as its only program. One thread serves the device model as a real HID
// device through /dev/uhid, re-creating it with the bootloader's product ID when it switches
// and with the application's when it restarts; the main thread runs the program's window
// behaviour, search and upgrade with the Linux backend against it, traced. Prints the trace
// (lines "DALVORN-TRACE: ...") and one result line for the host.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/find_the_hid.h"
#include "device/os_platform.h"
#include "headless_program.h"
#include "hid_device_model.h"
#include "trace/trace_clock.h"
#include "trace/tracing_platform.h"
#include "update/firmware_image.h"

namespace dalvorn::linuxtest {
namespace {

constexpr std::uint16_t BusUsb = 0x03;
constexpr std::size_t ImageRecords = 25;
constexpr std::size_t ImagePartialBytes = 17;
constexpr std::uint32_t RefusedBlock = 7;

class UhidDevice {
 public:
  explicit UhidDevice(ModelMode mode) : model_(mode) {}
  UhidDevice(const UhidDevice&) = delete;
  UhidDevice& operator=(const UhidDevice&) = delete;
  ~UhidDevice() { Destroy(); }

  bool Create() {
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd_ < 0) return false;
    auto ev = std::make_unique<uhid_event>();
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_CREATE2;
    const bool boot = model_.Mode() == ModelMode::Boot;
    std::snprintf(reinterpret_cast<char*>(ev->u.create2.name), sizeof ev->u.create2.name, "%s",
                  boot ? "Dalvorn Widget Boot" : "Dalvorn Widget");
    std::snprintf(reinterpret_cast<char*>(ev->u.create2.uniq), sizeof ev->u.create2.uniq, "0001");
    ev->u.create2.rd_size = static_cast<std::uint16_t>(ModelReportDescriptor.size());
    std::memcpy(ev->u.create2.rd_data, ModelReportDescriptor.data(), ModelReportDescriptor.size());
    ev->u.create2.bus = BusUsb;
    ev->u.create2.vendor = DeviceVendorID;
    ev->u.create2.product = model_.ProductId();
    ev->u.create2.version = model_.Version();
    return Write(*ev);
  }

  void Destroy() {
    if (fd_ < 0) return;
    uhid_event ev{};
    ev.type = UHID_DESTROY;
    Write(ev);
    ::close(fd_);
    fd_ = -1;
  }

  // Serves events until `stop`; false when /dev/uhid fails.
  bool Serve(const std::atomic<bool>& stop) {
    auto ev = std::make_unique<uhid_event>();
    while (!stop) {
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, 50);
      if (ready < 0 && errno != EINTR) return false;
      if (ready <= 0) continue;
      std::memset(ev.get(), 0, sizeof *ev);
      if (::read(fd_, ev.get(), sizeof *ev) <= 0) return false;
      ModelAction action = ModelAction::None;
      if (!Handle(*ev, action)) return false;
      if (action != ModelAction::None) {
        Destroy();
        {
          std::lock_guard lock(mutex_);
          model_.Reappeared(action);
        }
        if (!Create()) return false;
        std::printf("guest: device re-created with product %04x\n", Model().ProductId());
      }
    }
    return true;
  }

  HidDeviceModel Model() {
    std::lock_guard lock(mutex_);
    return model_;
  }

  void RefuseBlock(std::uint32_t block) {
    std::lock_guard lock(mutex_);
    model_.RefuseBlock(block);
  }

  // When each feature report set on the device arrived.
  std::vector<std::chrono::steady_clock::time_point> Arrivals() {
    std::lock_guard lock(mutex_);
    return arrivals_;
  }

 private:
  bool Write(const uhid_event& ev) {
    return ::write(fd_, &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev);
  }

  bool Handle(const uhid_event& in, ModelAction& action) {
    std::lock_guard lock(mutex_);
    auto out = std::make_unique<uhid_event>();
    std::memset(out.get(), 0, sizeof *out);
    switch (in.type) {
      case UHID_GET_REPORT: {
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
        arrivals_.push_back(std::chrono::steady_clock::now());
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

  std::mutex mutex_;
  HidDeviceModel model_;
  std::vector<std::chrono::steady_clock::time_point> arrivals_;
  int fd_ = -1;
};

// The program as a person runs it, loaded and clicked once, traced as DALVORN_TRACE traces the
// real program; the trace goes to the console, each line after `prefix` and ": ", for the host
// to replay on the emulated runner. Returns the program's exit status.
int RunTraced(HidPlatform& platform, const char* prefix) {
  std::ostringstream text;
  SteadyTraceClock clock;
  TraceWriter trace(&text, clock);
  TracingPlatform traced(platform, trace);
  const int exitCode = testing::RunClickedProgram(traced, trace);
  std::istringstream lines(text.str());
  for (std::string line; std::getline(lines, line);) std::printf("%s: %s\n", prefix, line.c_str());
  return exitCode;
}

int Run() {
  UhidDevice device(ModelMode::App);
  if (!device.Create()) {
    std::printf("DALVORN-VM-RESULT: FAIL cannot create the uhid device (%s)\n",
                std::strerror(errno));
    return 1;
  }
  std::atomic<bool> stop{false};
  std::atomic<bool> served{true};
  std::thread server([&] { served = device.Serve(stop); });

  auto platform = MakeOsPlatform();
  std::vector<std::uint8_t> image(ImageRecords * ModelRecordSize + ImagePartialBytes);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 5);
  {
    std::ofstream out(FirmwareImagePath(platform->ProgramFolder()), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }

  DeviceSession session;
  for (int tries = 0; tries < 50 && !session.DeviceFound; ++tries) {
    session.DeviceFound = FindTheHid(session, *platform);
    if (!session.DeviceFound) platform->Sleep(100);
  }
  if (!session.DeviceFound) {
    stop = true;
    server.join();
    std::printf("DALVORN-VM-RESULT: FAIL the device was not found\n");
    return 1;
  }
  std::uint8_t text[100] = {};
  platform->HidD_GetProductString(session.OverlappedHandle, text, sizeof text);
  std::string product;
  for (std::size_t i = 0; i + 1 < sizeof text && text[i] != 0; i += 2) {
    product.push_back(static_cast<char>(text[i]));
  }
  std::printf("guest: found %s %04x:%04x, feature report %u bytes, product \"%s\"\n",
              session.DevicePath.c_str(), session.DeviceAttrs.VendorID,
              session.DeviceAttrs.ProductID, session.DeviceCaps.FeatureReportByteLength,
              product.c_str());

  CloseDeviceHandles(session, *platform);

  const auto started = std::chrono::steady_clock::now();
  const int exitCode = RunTraced(*platform, "DALVORN-TRACE");
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  std::printf("guest: the update took %.1f s\n", took.count());

  // The pace the device saw: the intervals between the data blocks, the last reports set.
  const auto arrivals = device.Arrivals();
  if (arrivals.size() > ImageRecords) {
    std::vector<double> intervals;
    for (std::size_t i = arrivals.size() - ImageRecords + 1; i < arrivals.size(); ++i) {
      intervals.push_back(
          std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count());
    }
    std::sort(intervals.begin(), intervals.end());
    std::printf("guest: data blocks arrived every %.2f ms (median), %.2f to %.2f ms\n",
                intervals[intervals.size() / 2], intervals.front(), intervals.back());
  }

  const HidDeviceModel model = device.Model();
  const std::vector<std::uint8_t> whole(image.begin(),
                                        image.begin() + ImageRecords * ModelRecordSize);
  // A failing update of the same device: the bootloader refuses a data block.
  device.RefuseBlock(RefusedBlock);
  const int refusedExitCode = RunTraced(*platform, "DALVORN-TRACE-REFUSED");
  stop = true;
  server.join();

  const bool pass = served && exitCode == 0 && model.Flash() == whole &&
                    model.Mode() == ModelMode::App && model.Switches() == 1 &&
                    model.Restarts() == 1 && model.Unlocked() && refusedExitCode == 1;
  std::printf(
      "DALVORN-VM-RESULT: %s exit=%d flash=%zu/%zu bytes switches=%d restarts=%d unlocked=%d "
      "refused-block-exit=%d\n",
      pass ? "PASS" : "FAIL", exitCode, model.Flash().size(), whole.size(), model.Switches(),
      model.Restarts(), model.Unlocked() ? 1 : 0, refusedExitCode);
  return pass ? 0 : 1;
}

}  // namespace
}  // namespace dalvorn::linuxtest

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return dalvorn::linuxtest::Run();
}

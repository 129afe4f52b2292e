// Runs inside the test VM as its only program. The device model is served as real HID devices
// through /dev/uhid (uhid_device.h); the main thread runs the program's window behaviour,
// search and upgrade with the Linux backend against them, traced:
//   1. an update of a device that switches at once, then a failing one (a refused block);
//   2. an update of a device slow to leave: it stays in its old mode for a while after the
//      bootloader-entry message and again after the data;
//   3. a click with two devices of the kind attached, which must touch neither: the window
//      counts them at its load, says so and leaves the button disabled;
//   4. an update during whose switch a second device of the kind is created, which must get
//      nothing: the first is updated, or the update stops saying why.
// Prints each run's trace (lines "PREFIX: ...") and one result line for the host.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_count.h"
#include "device/find_the_hid.h"
#include "device/os_platform.h"
#include "headless_program.h"
#include "text/text_codec.h"
#include "trace/trace_clock.h"
#include "trace/tracing_platform.h"
#include "uhid_device.h"
#include "update/firmware_image.h"

namespace dalvorn::linuxtest {
namespace {

using Seconds = std::chrono::duration<double>;

constexpr std::size_t ImageRecords = 25;
constexpr std::size_t ImagePartialBytes = 17;
constexpr std::uint32_t RefusedBlock = 7;
// How long the slow device stays on the bus in its old mode after the bootloader-entry
// message, and in its bootloader after the data once the host has closed it.
constexpr std::chrono::milliseconds SlowToBootloader(700);
constexpr std::chrono::milliseconds SlowToRestart(700);

// The program as a person runs it, loaded and clicked once, traced as DALVORN_TRACE traces the
// real program; the trace goes to the console, each line after `prefix` and ": ", for the host
// to replay on the emulated runner. `run` names the run in the guest's own lines. Returns the
// program's exit status; the trace also in `traceText` when given.
int RunTraced(HidPlatform& platform, const char* prefix, const char* run,
              std::string* traceText = nullptr) {
  std::ostringstream text;
  SteadyTraceClock clock;
  TraceWriter trace(&text, clock);
  TracingPlatform traced(platform, trace);
  const auto started = std::chrono::steady_clock::now();
  const int exitCode = testing::RunClickedProgram(traced, trace);
  const Seconds took = std::chrono::steady_clock::now() - started;
  std::istringstream lines(text.str());
  for (std::string line; std::getline(lines, line);) std::printf("%s: %s\n", prefix, line.c_str());
  std::printf("guest: %s: exit status %d after %.1f s\n", run, exitCode, took.count());
  if (traceText != nullptr) *traceText = text.str();
  return exitCode;
}

// Waits up to 5 s until the host has `count` devices of the kind, counted as the update does:
// uhid creates and removes its devices' nodes in the background.
bool WaitForDevices(HidPlatform& platform, std::size_t count) {
  for (int tries = 0; tries < 50; ++tries) {
    if (CountDevicesOfTheKind(platform) == count) return true;
    platform.Sleep(100);
  }
  std::printf("guest: the host does not have %zu devices of the kind\n", count);
  return false;
}

// The device found, as the window shows it.
void PrintFound(HidPlatform& platform) {
  DeviceSession session;
  if (!FindTheHid(session, platform)) return;
  std::uint8_t text[100] = {};
  platform.HidD_GetProductString(session.OverlappedHandle, text, sizeof text);
  std::string product;
  for (std::size_t i = 0; i + 1 < sizeof text && text[i] != 0; i += 2) {
    product.push_back(static_cast<char>(text[i]));
  }
  std::printf("guest: found %s %04x:%04x, feature report %u bytes, product \"%s\"\n",
              session.DevicePath.c_str(), session.DeviceAttrs.VendorID,
              session.DeviceAttrs.ProductID, session.DeviceCaps.FeatureReportByteLength,
              product.c_str());
  CloseDeviceHandles(session, platform);
}

// The pace the device saw: the intervals between the data blocks, the last reports set.
void PrintPace(const UhidTraffic& traffic) {
  const auto& arrivals = traffic.reportsSet;
  if (arrivals.size() <= ImageRecords) return;
  std::vector<double> intervals;
  for (std::size_t i = arrivals.size() - ImageRecords + 1; i < arrivals.size(); ++i) {
    intervals.push_back(
        std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count());
  }
  std::sort(intervals.begin(), intervals.end());
  std::printf("guest: data blocks arrived every %.2f ms (median), %.2f to %.2f ms\n",
              intervals[intervals.size() / 2], intervals.front(), intervals.back());
}

bool Updated(const HidDeviceModel& model, const std::vector<std::uint8_t>& whole) {
  return model.Flash() == whole && model.Mode() == ModelMode::App && model.Switches() == 1 &&
         model.Restarts() == 1;
}

// The image the runs send, written where the program reads it; returns its whole records.
std::vector<std::uint8_t> WriteImage(HidPlatform& platform) {
  std::vector<std::uint8_t> image(ImageRecords * ModelRecordSize + ImagePartialBytes);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 5);
  std::ofstream out(FirmwareImagePath(platform.ProgramFolder()), std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  image.resize(ImageRecords * ModelRecordSize);
  return image;
}

int Fail(const std::string& why) {
  std::printf("DALVORN-VM-RESULT: FAIL %s\n", why.c_str());
  return 1;
}

// A run with a second device of the kind created during the switch: the exit status, whether
// the first was updated, whether the update said another device came, and what the second was
// sent.
struct NewcomerRun {
  int exitCode = -1;
  bool created = false, updated = false, told = false, passed = false;
  std::size_t touched = 0;
};

// What the runs left: exit statuses, what the devices saw, and whether uhid served them all.
struct Results {
  int exitCode = -1, refusedExitCode = -1, slowExitCode = -1, twoExitCode = -1;
  HidDeviceModel model, slowModel;
  UhidTraffic slowTraffic;
  std::size_t touched = 0;  // reports the two devices of the kind were sent or asked for
  NewcomerRun newcomerAfter, newcomerBefore;  // a second device created during the switch
  bool served = true;
};

// 1. The update, then a failing update of the same device: its bootloader refuses a block.
// Empty when the runs took place, else why not.
std::string RunUpdateAndRefusal(HidPlatform& platform, Results& r) {
  UhidDevice device(ModelMode::App, "0001");
  if (!device.Start()) return "cannot create a uhid device: " + ErrnoText(errno);
  if (!WaitForDevices(platform, 1)) return "the device was not found";
  PrintFound(platform);
  r.exitCode = RunTraced(platform, "DALVORN-TRACE", "the update");
  PrintPace(device.Traffic());
  r.model = device.Model();
  device.RefuseBlock(RefusedBlock);
  r.refusedExitCode = RunTraced(platform, "DALVORN-TRACE-REFUSED", "a refused block");
  r.served = device.Stop() && r.served;
  return {};
}

// 2. A device slow to leave, after the entry message and after the data.
bool RunSlowDevice(HidPlatform& platform, Results& r) {
  UhidDevice slow(ModelMode::App, "0001", SlowToBootloader, SlowToRestart);
  if (!WaitForDevices(platform, 0) || !slow.Start() || !WaitForDevices(platform, 1)) return false;
  r.slowExitCode = RunTraced(platform, "DALVORN-TRACE-SLOW", "a device slow to leave");
  r.slowModel = slow.Model();
  r.slowTraffic = slow.Traffic();
  r.served = slow.Stop() && r.served;
  return true;
}

// 3. Two devices of the kind: the window must refuse before it sends either anything (the
// button stays disabled, the click does nothing: exit status 0).
bool RunTwoDevices(HidPlatform& platform, Results& r) {
  UhidDevice first(ModelMode::App, "0042");
  UhidDevice second(ModelMode::App, "0043");
  if (!WaitForDevices(platform, 0) || !first.Start() || !second.Start() ||
      !WaitForDevices(platform, 2)) {
    return false;
  }
  r.twoExitCode = RunTraced(platform, "DALVORN-TRACE-TWO-DEVICES", "two devices");
  for (UhidDevice* d : {&first, &second}) {
    const UhidTraffic traffic = d->Traffic();
    r.touched += traffic.reportsSet.size() + static_cast<std::size_t>(traffic.reportsGot);
    r.served = d->Stop() && r.served;
  }
  return true;
}

// 4. A second device of the kind created during the first one's switch to its bootloader: once
// the first is back (the second comes after it in the order of the nodes), or while it is off
// the bus (the second takes its node and comes first). Nothing reaches the second; the first is
// updated when it comes first, and the update stops saying that another device came otherwise.
bool RunNewcomer(HidPlatform& platform, const std::vector<std::uint8_t>& whole, bool takesItsNode,
                 NewcomerRun& run) {
  // It leaves once the host has closed it, so that its node's number is free while it is away.
  UhidDevice first(ModelMode::App, "0001", std::chrono::milliseconds(1));
  UhidDevice newcomer(ModelMode::App, "0043");
  first.AtFirstSwitch(takesItsNode, [&] { run.created = newcomer.Start(); });
  if (!WaitForDevices(platform, 0) || !first.Start() || !WaitForDevices(platform, 1)) return false;
  std::string trace;
  run.exitCode =
      RunTraced(platform, takesItsNode ? "DALVORN-NEWCOMER-FIRST-TRACE" : "DALVORN-NEWCOMER-TRACE",
                takesItsNode ? "a second device in its place" : "a second device", &trace);
  run.updated = Updated(first.Model(), whole);
  run.told = trace.find("Another device of this kind was connected") != std::string::npos;
  const UhidTraffic traffic = newcomer.Traffic();
  run.touched = traffic.reportsSet.size() + static_cast<std::size_t>(traffic.reportsGot);
  run.passed = run.created && run.touched == 0 &&
               (takesItsNode ? run.exitCode == 1 && run.told : run.exitCode == 0 && run.updated);
  std::printf("guest: %s: the second device was sent %zu reports; %s\n",
              takesItsNode ? "a second device in its place" : "a second device", run.touched,
              run.updated ? "the first was updated"
              : run.told  ? "the update said why it stopped"
                          : "neither updated nor told");
  const bool served = first.Stop();
  return newcomer.Stop() && served;
}

// Only the entry message reaches the slow device in application mode; every block its
// bootloader; and the program did open it in each old mode while it was on its way out.
bool Passed(const Results& r, const std::vector<std::uint8_t>& whole) {
  const bool slowPass = r.slowExitCode == 0 && Updated(r.slowModel, whole) &&
                        r.slowTraffic.reportsSetInApp == 1 && r.slowTraffic.opensLeavingApp > 0 &&
                        r.slowTraffic.opensLeavingBoot > 0;
  return r.served && r.exitCode == 0 && Updated(r.model, whole) && r.model.Unlocked() &&
         r.refusedExitCode == 1 && slowPass && r.twoExitCode == 0 && r.touched == 0 &&
         r.newcomerAfter.passed && r.newcomerBefore.passed;
}

int Run() {
  const auto started = std::chrono::steady_clock::now();
  auto platform = MakeOsPlatform();
  const std::vector<std::uint8_t> whole = WriteImage(*platform);
  Results r;
  if (const std::string why = RunUpdateAndRefusal(*platform, r); !why.empty()) return Fail(why);
  if (!RunSlowDevice(*platform, r)) return Fail("the slow device was not found");
  if (!RunTwoDevices(*platform, r)) return Fail("the two devices were not found");
  for (const bool takesItsNode : {false, true}) {
    NewcomerRun& run = takesItsNode ? r.newcomerBefore : r.newcomerAfter;
    if (!RunNewcomer(*platform, whole, takesItsNode, run)) {
      return Fail("the run with a second device could not be set up or served");
    }
  }

  const bool pass = Passed(r, whole);
  const Seconds took = std::chrono::steady_clock::now() - started;
  std::printf("guest: all runs took %.1f s\n", took.count());
  std::printf(
      "DALVORN-VM-RESULT: %s exit=%d flash=%zu/%zu bytes switches=%d restarts=%d unlocked=%d "
      "refused-block-exit=%d slow-exit=%d slow-flash=%zu slow-reports-in-app=%d "
      "slow-opened-while-leaving=%d/%d two-devices-exit=%d two-devices-reports=%zu "
      "second-device-exit=%d/%d second-device-reports=%zu/%zu\n",
      pass ? "PASS" : "FAIL", r.exitCode, r.model.Flash().size(), whole.size(), r.model.Switches(),
      r.model.Restarts(), r.model.Unlocked() ? 1 : 0, r.refusedExitCode, r.slowExitCode,
      r.slowModel.Flash().size(), r.slowTraffic.reportsSetInApp, r.slowTraffic.opensLeavingApp,
      r.slowTraffic.opensLeavingBoot, r.twoExitCode, r.touched, r.newcomerAfter.exitCode,
      r.newcomerBefore.exitCode, r.newcomerAfter.touched, r.newcomerBefore.touched);
  return pass ? 0 : 1;
}

}  // namespace
}  // namespace dalvorn::linuxtest

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return dalvorn::linuxtest::Run();
}

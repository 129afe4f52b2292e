// The transfer's real-time pace through the Linux hidraw backend, against the device model
// behind hidraw nodes faked with umockdev (run it under umockdev-wrapper). Every block is an
// ioctl served on umockdev's own thread, as a kernel driver would take it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "device/find_the_hid.h"
#include "device/os_platform.h"
#include "fake_hid_host.h"
#include "pace_recorder.h"
#include "update/upgrade_sequence.h"

namespace {

using namespace dalvorn;

constexpr std::size_t Blocks = 250;  // five seconds at the pace

// A window with nothing to show, that lets the fake host carry out the device's restarts.
class BenchWindow final : public UpdateWindow {
 public:
  explicit BenchWindow(linuxtest::FakeHidHost& host) : host_(host) {}
  void SetUpgradeCaption(const std::string&) override {}
  void SetUpgradeEnabled(bool) override {}
  void SetStatusText(const std::string&) override {}
  void SetProgressVisible(bool) override {}
  void SetProgressWidth(float) override {}
  void RepaintProgress() override {}
  bool PumpEvents() override {
    host_.Settle();
    return true;
  }
  void ShowDeviceInfo() override {}
  void ShowMessageBox(const std::string&) override {}
  void Unload() override {}

 private:
  linuxtest::FakeHidHost& host_;
};

void BM_PaceHidrawUmockdev(benchmark::State& state) {
  for (auto _ : state) {
    linuxtest::FakeHidHost host;
    host.AddModelDevice(0, linuxtest::ModelMode::Boot);
    auto os = MakeOsPlatform();
    bench::PaceRecorder platform(*os);
    const std::filesystem::path imagePath = FirmwareImagePath(platform.ProgramFolder());
    std::ofstream(imagePath, std::ios::binary) << std::string(Blocks * FlashRecordSize, '\x5a');

    DeviceSession session;
    FindTheHid(session, platform);
    BenchWindow window(host);
    DiskFirmwareImageFile image;
    UpgradeContext context{session, platform, window, image};
    const UpgradeOutcome outcome = RunUpgradeSequence(context);
    std::filesystem::remove(imagePath);
    if (outcome != UpgradeOutcome::Updated) state.SkipWithError("the update failed");
    state.counters["efficiency_percent"] = 100 * platform.Efficiency(Blocks);
    state.counters["longest_interval_ms"] = platform.LongestIntervalMs(Blocks);
    state.counters["shortest_gap_ms"] = platform.ShortestGapAfterSendMs(Blocks);
    state.counters["mean_send_ms"] = platform.MeanSendMs(Blocks);
    state.counters["mean_gap_ms"] = platform.MeanGapAfterSendMs(Blocks);
  }
}
BENCHMARK(BM_PaceHidrawUmockdev)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

// A trace of the real program over the hidraw backend (umockdev) turns into a scenario that the
// emulated platform replays to the same normalised trace; a node that cannot be opened is
// told in the trace and on standard error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "device/os_platform.h"
#include "fake_hid_host.h"
#include "headless_program.h"
#include "replay_support.h"
#include "trace/trace_clock.h"
#include "trace/tracing_platform.h"
#include "update/firmware_image.h"

namespace dalvorn::linuxtest {
namespace {

struct RecordCase {
  const char* name;
  ModelMode startMode;
  std::uint32_t refusedBlock;
  int exitCode;
};

void PrintTo(const RecordCase& c, std::ostream* os) {
  *os << c.name;
}

const RecordCase kRecordCases[] = {
    {"update_from_application", ModelMode::App, 0, 0},
    {"update_from_bootloader", ModelMode::Boot, 0, 0},
    {"refused_block", ModelMode::App, 4, 1},
};

FakeInterface Keyboard() {
  FakeInterface keyboard;
  keyboard.vendor = 0x046D;
  keyboard.product = 0xC31C;
  keyboard.bcdDevice = 0x4901;
  return keyboard;
}

// Runs the program clicked over the traced hidraw backend; the image lies in the backend's
// program folder (the test's own), as the real program finds it.
std::vector<emulator::TraceLine> Record(FakeHidHost& host, const std::vector<std::uint8_t>& image,
                                        std::filesystem::path& folder) {
  auto os = MakeOsPlatform();
  folder = os->ProgramFolder();
  {
    std::ofstream out(FirmwareImagePath(folder.string()), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }
  std::ostringstream text;
  SteadyTraceClock clock;
  TraceWriter trace(&text, clock);
  TracingPlatform platform(*os, trace);
  testing::RunClickedProgram(platform, trace, [&] { host.Settle(); });
  return testing::Lines(text.str());
}

class RecordOnHidraw : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordOnHidraw, ReplaysOnTheEmulatedDeviceToTheSameNormalisedTrace) {
  const RecordCase& c = GetParam();
  FakeHidHost host;
  host.AddInterface(1, Keyboard());
  host.AddModelDevice(2, c.startMode);
  host.SetModelRefusedBlock(c.refusedBlock);
  std::vector<std::uint8_t> image(6 * 40 + 11);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);

  std::filesystem::path folder;
  const auto recorded = Record(host, image, folder);
  const std::string difference = testing::ReplayDifference(recorded, folder);
  std::filesystem::remove(FirmwareImagePath(folder.string()));

  ASSERT_FALSE(recorded.empty());
  EXPECT_EQ(recorded.back().value("code", -1), c.exitCode) << recorded.back().dump();
  EXPECT_EQ(difference, "");
}

INSTANTIATE_TEST_SUITE_P(Hidraw, RecordOnHidraw, ::testing::ValuesIn(kRecordCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(RecordOnHidraw, ANodeOfTheDeviceThatCannotBeOpenedIsToldWithItsReason) {
  FakeHidHost host;
  FakeInterface locked;
  locked.vendor = DeviceVendorID;
  locked.product = AppProductID;
  locked.openable = false;
  const std::string node = host.AddInterface(4, locked);

  ::testing::internal::CaptureStderr();
  std::filesystem::path folder;
  const auto recorded = Record(host, std::vector<std::uint8_t>(80, 1), folder);
  const std::string stderrText = ::testing::internal::GetCapturedStderr();

  bool toldInTrace = false;
  for (const auto& line : recorded) {
    if (line.value("fn", "") == "CreateFileA" && line.value("result", 0) == -1) {
      toldInTrace = line.value("os_error", "").find("ENOENT") == 0;
    }
  }
  EXPECT_TRUE(toldInTrace);
  EXPECT_NE(stderrText.find(node + " cannot be opened: ENOENT"), std::string::npos) << stderrText;
  EXPECT_NE(stderrText.find("udev rule"), std::string::npos);
  EXPECT_EQ(testing::ReplayDifference(recorded, folder), "");
  std::filesystem::remove(FirmwareImagePath(folder.string()));
}

}  // namespace
}  // namespace dalvorn::linuxtest

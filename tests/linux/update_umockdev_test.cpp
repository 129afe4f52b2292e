// A whole update through the hidraw backend: the program's own search and upgrade code against
// the device model behind faked hidraw nodes, which re-appear as the device switches modes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/find_the_hid.h"
#include "device/os_platform.h"
#include "fake_hid_host.h"
#include "headless_update_window.h"
#include "update/upgrade_sequence.h"

namespace dalvorn::linuxtest {
namespace {

struct UpdateCase {
  const char* name;
  ModelMode startMode;
  std::uint8_t status1, status2;
  bool unlocked;
  int switches;
};

void PrintTo(const UpdateCase& c, std::ostream* os) {
  *os << c.name;
}

const std::vector<UpdateCase> UpdateCases = {
    {"from_application_with_unlock", ModelMode::App, 0, 1, true, 1},
    {"from_application_without_unlock", ModelMode::App, 0, 0, false, 1},
    {"from_bootloader", ModelMode::Boot, 7, 0, true, 0},
};

class FullUpdate : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(FullUpdate, FlashHoldsTheImagesWholeRecords) {
  const UpdateCase& c = GetParam();
  FakeHidHost host;
  host.AddInterface(1, [] {
    FakeInterface keyboard;
    keyboard.vendor = 0x046D;
    keyboard.product = 0xC31C;
    return keyboard;
  }());
  host.AddModelDevice(2, c.startMode);
  host.SetModelStatus(c.status1, c.status2);

  auto platform = MakeOsPlatform();
  // Five whole records and a partial one, which is never sent.
  std::vector<std::uint8_t> image(5 * 40 + 13);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  const std::filesystem::path imagePath = FirmwareImagePath(platform->ProgramFolder());
  {
    std::ofstream out(imagePath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }

  DeviceSession session;
  session.DeviceFound = FindTheHid(session, *platform);
  ASSERT_TRUE(session.DeviceFound);
  HeadlessUpdateWindow window([&] { host.Settle(); }, 100);
  DiskFirmwareImageFile file;
  UpgradeContext context{session, *platform, window, file};
  const UpgradeOutcome outcome = RunUpgradeSequence(context);
  std::filesystem::remove(imagePath);

  EXPECT_EQ(outcome, UpgradeOutcome::Updated) << "caption: " << window.caption;
  EXPECT_TRUE(window.unloaded);
  const HidDeviceModel model = host.Model();
  EXPECT_EQ(model.Mode(), ModelMode::App);
  EXPECT_EQ(model.Flash(), std::vector<std::uint8_t>(image.begin(), image.begin() + 200));
  EXPECT_EQ(model.Unlocked(), c.unlocked);
  EXPECT_EQ(model.Switches(), c.switches);
  EXPECT_EQ(model.Restarts(), 1);
  EXPECT_EQ(host.OpenHandles(host.ModelDevnode()), 0);
}

INSTANTIATE_TEST_SUITE_P(Hidraw, FullUpdate, ::testing::ValuesIn(UpdateCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dalvorn::linuxtest

// A whole update through the hidraw backend: the program's own search and upgrade code against
// the device model behind faked hidraw nodes, which re-appear as the device switches modes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/find_the_hid.h"
#include "device/os_platform.h"
#include "fake_hid_host.h"
#include "headless_program.h"
#include "headless_update_window.h"
#include "trace/trace_clock.h"
#include "update/status_texts.h"
#include "update/upgrade_sequence.h"

namespace dalvorn::linuxtest {
namespace {

FakeInterface Keyboard() {
  FakeInterface keyboard;
  keyboard.vendor = 0x046D;
  keyboard.product = 0xC31C;
  return keyboard;
}

// Five whole records and a partial one, which is never sent, as Varnholt.bin in the backend's
// program folder; removed again at the end of the test.
class ImageInProgramFolder {
 public:
  explicit ImageInProgramFolder(HidPlatform& platform)
      : path_(FirmwareImagePath(platform.ProgramFolder())), bytes_(5 * 40 + 13) {
    for (std::size_t i = 0; i < bytes_.size(); ++i)
      bytes_[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
  }
  ImageInProgramFolder(const ImageInProgramFolder&) = delete;
  ImageInProgramFolder& operator=(const ImageInProgramFolder&) = delete;
  ~ImageInProgramFolder() { std::filesystem::remove(path_); }

  // The first `count` records.
  std::vector<std::uint8_t> Records(std::size_t count) const {
    return {bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count * 40)};
  }

 private:
  std::filesystem::path path_;
  std::vector<std::uint8_t> bytes_;
};

// Runs the update from a click on the device found first.
UpgradeOutcome Update(HidPlatform& platform, HeadlessUpdateWindow& window) {
  DeviceSession session;
  FindTheHid(session, platform);
  if (!session.DeviceFound) return UpgradeOutcome::NotStarted;
  DiskFirmwareImageFile file;
  UpgradeContext context{session, platform, window, file};
  return RunUpgradeSequence(context);
}

// No node but the model's was sent or asked a feature report.
void ExpectOnlyTheModelWasTalkedTo(FakeHidHost& host) {
  for (const NodeRecord& r : host.Records()) {
    if (!r.model) {
      EXPECT_TRUE(r.featuresSet.empty()) << r.devnode << " was sent a report";
    }
  }
}

struct UpdateCase {
  const char* name;
  ModelMode startMode;
  std::uint8_t status1, status2;
  bool unlocked;
  int switches;
  unsigned hidInterfaces;  // of the device's one USB device
  bool keyboardFirst;      // its first interface a keyboard's, without feature reports
};

void PrintTo(const UpdateCase& c, std::ostream* os) {
  *os << c.name;
}

const std::vector<UpdateCase> UpdateCases = {
    {"from_application_with_unlock", ModelMode::App, 0, 1, true, 1, 1, false},
    {"from_application_without_unlock", ModelMode::App, 0, 0, false, 1, 1, false},
    {"from_bootloader", ModelMode::Boot, 7, 0, true, 0, 1, false},
    {"one_usb_device_with_two_hid_interfaces", ModelMode::App, 0, 1, true, 1, 2, false},
    {"through_its_second_interface_after_a_keyboard", ModelMode::App, 0, 1, true, 1, 2, true},
};

class FullUpdate : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(FullUpdate, FlashHoldsTheImagesWholeRecords) {
  const UpdateCase& c = GetParam();
  FakeHidHost host;
  host.AddInterface(1, Keyboard());
  host.AddModelDevice(2, c.startMode, c.hidInterfaces, c.keyboardFirst);
  host.SetModelStatus(c.status1, c.status2);
  auto platform = MakeOsPlatform();
  const ImageInProgramFolder image(*platform);

  HeadlessUpdateWindow window([&] { host.Settle(); }, 100);
  const UpgradeOutcome outcome = Update(*platform, window);

  EXPECT_EQ(outcome, UpgradeOutcome::Updated) << "caption: " << window.caption;
  EXPECT_TRUE(window.unloaded);
  const HidDeviceModel model = host.Model();
  EXPECT_EQ(model.Mode(), ModelMode::App);
  EXPECT_EQ(model.Flash(), image.Records(5));
  EXPECT_EQ(model.Unlocked(), c.unlocked);
  EXPECT_EQ(model.Switches(), c.switches);
  EXPECT_EQ(model.Restarts(), 1);
  EXPECT_EQ(host.OpenHandles(host.ModelDevnode()), 0);
  ExpectOnlyTheModelWasTalkedTo(host);
}

INSTANTIATE_TEST_SUITE_P(Hidraw, FullUpdate, ::testing::ValuesIn(UpdateCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct FailureCase {
  const char* name;
  std::uint32_t refusedBlock;
  std::uint32_t unplugBlock;
  const char* message;  // how the message box starts
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

const std::vector<FailureCase> FailureCases = {
    {"refused_block", 3, 0, "The device refused data block 3 of 5."},
    {"unplugged_during_a_block", 0, 3, "The device disconnected at data block 3 of 5."},
};

class FailedUpdate : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailedUpdate, StopsAtTheBlockAndSaysWhy) {
  const FailureCase& c = GetParam();
  FakeHidHost host;
  host.AddModelDevice(1, ModelMode::Boot);
  host.SetModelStatus(0, 0);  // no unlock: the data blocks are the only reports
  host.SetModelRefusedBlock(c.refusedBlock);
  host.SetModelUnplugBlock(c.unplugBlock);
  auto platform = MakeOsPlatform();
  const ImageInProgramFolder image(*platform);

  HeadlessUpdateWindow window([&] { host.Settle(); }, 100);
  EXPECT_EQ(Update(*platform, window), UpgradeOutcome::Failed);
  EXPECT_EQ(window.messageBox.rfind(c.message, 0), 0u) << window.messageBox;
  EXPECT_TRUE(window.unloaded);
  EXPECT_EQ(host.Model().Flash(), image.Records(2));
  EXPECT_EQ(host.Record(host.ModelDevnode()).featuresSet.size(), 3u);
  EXPECT_EQ(host.OpenHandles(host.ModelDevnode()), 0);
}

INSTANTIATE_TEST_SUITE_P(Hidraw, FailedUpdate, ::testing::ValuesIn(FailureCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct TwoDevicesCase {
  const char* name;
  ModelMode modelMode;
  unsigned modelNumber;
  FakeInterface other;  // a second device of the kind, on a USB device of its own
  unsigned otherNumber;
};

void PrintTo(const TwoDevicesCase& c, std::ostream* os) {
  *os << c.name;
}

FakeInterface SecondDevice(std::uint16_t product) {
  FakeInterface f;
  f.vendor = DeviceVendorID;
  f.product = product;
  f.manufacturer = "Dalvorn";
  f.productName = "Widget";
  f.serial = "0043";
  return f;
}

const std::vector<TwoDevicesCase> TwoDevicesCases = {
    {"second_after_the_device", ModelMode::App, 2, SecondDevice(AppProductID), 3},
    {"second_before_the_device_in_bootloader", ModelMode::App, 2, SecondDevice(BootProductID), 1},
    {"device_in_bootloader", ModelMode::Boot, 2, SecondDevice(AppProductID), 3},
};

class TwoDevices : public ::testing::TestWithParam<TwoDevicesCase> {};

// The whole program, loaded and clicked, as a person runs it.
TEST_P(TwoDevices, AreRefusedBeforeEitherIsSentAnything) {
  const TwoDevicesCase& c = GetParam();
  FakeHidHost host;
  host.AddInterface(c.otherNumber, c.other);
  host.AddModelDevice(c.modelNumber, c.modelMode);
  auto platform = MakeOsPlatform();
  const ImageInProgramFolder image(*platform);

  std::ostringstream text;
  SteadyTraceClock clock;
  TraceWriter trace(&text, clock);
  const int exitCode = testing::RunClickedProgram(*platform, trace, [&] { host.Settle(); });

  // Counted at the load: the status line says so and the button takes no click.
  EXPECT_EQ(exitCode, 0);
  EXPECT_NE(text.str().find(DevicesOfTheKindText(2)), std::string::npos) << text.str();
  for (const NodeRecord& r : host.Records()) {
    EXPECT_TRUE(r.featuresSet.empty()) << r.devnode << " was sent a report";
  }
  EXPECT_EQ(host.Model().Mode(), c.modelMode);
  EXPECT_EQ(host.OpenHandles(host.ModelDevnode()), 0);
}

INSTANTIATE_TEST_SUITE_P(Hidraw, TwoDevices, ::testing::ValuesIn(TwoDevicesCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace dalvorn::linuxtest

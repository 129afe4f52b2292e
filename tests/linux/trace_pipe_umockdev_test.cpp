// The real program, composed as its main() composes it (the Qt window, the hidraw backend, the
// trace DALVORN_TRACE asks for), tracing to a pipe whose reader goes away in the middle of the
// update: the update goes on to the end, exit status 0, the device holds every whole record;
// standard error says once that the trace is incomplete. Runs under umockdev-wrapper, on Qt's
// offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "device/os_platform.h"
#include "fake_hid_host.h"
#include "forwarding_view.h"
#include "qt/qt_window_driver.h"
#include "reader_who_leaves.h"
#include "trace/program_trace.h"
#include "trace/trace_file.h"
#include "trace/tracing_window.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"

namespace dalvorn::linuxtest {
namespace {

// The Qt window with a fixture's step at every event pump (the device model's re-enumeration,
// the trace's reader); a message box is taken as dismissed, as nobody is there to press OK.
class PumpingView final : public emulator::ForwardingView {
 public:
  PumpingView(WindowView& inner, std::function<void()> atPump)
      : ForwardingView(inner), atPump_(std::move(atPump)) {}
  void PumpEvents() override {
    atPump_();
    Inner().PumpEvents();
  }
  void MessageBox(const std::string& text) override { messageBox = text; }

  std::string messageBox;

 private:
  std::function<void()> atPump_;
};

FakeInterface Keyboard() {
  FakeInterface keyboard;
  keyboard.vendor = 0x046D;
  keyboard.product = 0xC31C;
  return keyboard;
}

TEST(RealProgramTraceOnHidraw, APipeClosedMidUpdateEndsTheTraceNotTheUpdate) {
  IgnoreBrokenPipes();  // as the program's main() does first
  FakeHidHost host;
  host.AddInterface(1, Keyboard());
  host.AddModelDevice(2, ModelMode::App);
  host.SetModelStatus(0, 1);
  const auto platform = MakeOsPlatform();
  const std::filesystem::path imagePath = FirmwareImagePath(platform->ProgramFolder());
  std::vector<std::uint8_t> bytes(30 * 40 + 7);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 11 + 5);
  std::ofstream(imagePath, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  DiskFirmwareImageFile image;
  testing::ReaderWhoLeaves reader;

  ::testing::internal::CaptureStderr();
  int exitCode = -1;
  std::string messageBox;
  {
    ProgramTrace trace(reader.WriteEnd(), *platform, image);
    reader.CloseWriteEnd();
    QtWindowView window;
    PumpingView pumping(window, [&] {
      host.Settle();
      reader.AtPump();
    });
    TracingWindowView view(pumping, trace.Writer());
    MainWindowHooks hooks;
    hooks.afterLoad = [&window] { emulator::ClickUpgradeButton(window); };
    hooks.beforeTerminate = [&trace] { trace.Writer().Window("terminate"); };
    exitCode = trace.Finish(RunMainWindow(window, view, trace.Platform(), trace.Image(), hooks));
    messageBox = pumping.messageBox;
  }
  const std::string told = ::testing::internal::GetCapturedStderr();
  std::filesystem::remove(imagePath);

  EXPECT_TRUE(reader.Left()) << "the update ended before its first data block";
  EXPECT_EQ(exitCode, 0) << messageBox;
  const HidDeviceModel model = host.Model();
  EXPECT_EQ(model.Mode(), ModelMode::App);
  EXPECT_EQ(model.Flash(), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 30 * 40));
  EXPECT_NE(told.find("failed; it is incomplete (EPIPE: Broken pipe)"), std::string::npos) << told;
  // Once: the lines after the failure are not written, nor told again.
  EXPECT_EQ(told.find("the trace"), told.rfind("the trace")) << told;
}

}  // namespace
}  // namespace dalvorn::linuxtest

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

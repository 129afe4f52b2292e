// The program's idle watch on Linux, as its main() makes it: the real udev monitor told by
// umockdev's uevents, its descriptor on the Qt event loop; the program folder through the file
// system's notifications; the one-shot quiet timer. Runs under umockdev-wrapper. The event loop
// runs until what is awaited has come (or a guard of a few seconds has passed, a failure).
#include <umockdev.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "device/linux/hidraw_monitor.h"
#include "ui/qt/qt_idle_watch.h"

namespace dalvorn::linuxtest {
namespace {

class IdleWatchTest : public ::testing::Test, public IdleWatchEvents {
 protected:
  IdleWatchTest() : folder_(std::filesystem::temp_directory_path() / "dalvorn-idle-watch") {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    watch_.Start(*this, folder_.string());
  }
  ~IdleWatchTest() override {
    watch_.Stop();
    g_object_unref(testbed_);
    std::filesystem::remove_all(folder_);
  }
  void DeviceInterfaceChanged() override { Told(interfaces_); }
  void ProgramFolderChanged() override { Told(folder_changes_); }
  void QuietTimeOver() override { Told(quiet_); }

  // A device of `subsystem` named `name` (umockdev sends its "add"); its sysfs path.
  std::string Add(const char* subsystem, const char* name) {
    gchar* path = umockdev_testbed_add_device(testbed_, subsystem, name, nullptr, "dev", "1:1",
                                              nullptr, "DEVNAME", name, nullptr);
    const std::string syspath = path != nullptr ? path : "";
    g_free(path);
    return syspath;
  }
  // Runs the event loop until `count` reaches `least`; false when the guard ran out first.
  bool WaitFor(const int& count, int least) {
    QEventLoop loop;
    awaited_ = [&] {
      if (count >= least) loop.quit();
    };
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    const bool ok = count >= least || loop.exec() == 0;
    awaited_ = nullptr;
    return ok;
  }

  UMockdevTestbed* testbed_ = umockdev_testbed_new();
  HidrawMonitor monitor_;
  QtIdleWatch watch_{&monitor_};
  std::filesystem::path folder_;
  int interfaces_ = 0, folder_changes_ = 0, quiet_ = 0;

 private:
  void Told(int& count) {
    ++count;
    if (awaited_) awaited_();
  }
  std::function<void()> awaited_;
};

// Only hidraw nodes arriving and leaving are told, each once; whatever comes between them is
// read and dropped.
TEST_F(IdleWatchTest, TellsEachHidrawNodeArrivingOrLeavingOnce) {
  ASSERT_GE(monitor_.Descriptor(), 0) << monitor_.Error();
  const std::string hidraw = Add("hidraw", "hidraw0");  // told
  const std::string input = Add("input", "event7");
  const struct {
    const std::string& syspath;
    const char* action;
  } uevents[] = {{hidraw, "change"}, {input, "add"},    {hidraw, "add"},
                 {hidraw, "bind"},   {input, "remove"}, {hidraw, "remove"}};
  for (const auto& u : uevents) umockdev_testbed_uevent(testbed_, u.syspath.c_str(), u.action);
  ASSERT_TRUE(WaitFor(interfaces_, 3));
  EXPECT_EQ(interfaces_, 3);
  EXPECT_EQ(folder_changes_, 0);
}

// The folder, and the image written in place (no entry of the folder changes); the timer,
// started again, runs out once; once stopped, nothing is told.
TEST_F(IdleWatchTest, TellsTheFolderAndTheTimerUntilStopped) {
  const auto image = folder_ / "Varnholt.bin";
  std::ofstream(image, std::ios::binary) << "first";
  ASSERT_TRUE(WaitFor(folder_changes_, 1));
  const int before = folder_changes_;
  std::ofstream(image, std::ios::binary | std::ios::app) << "more";
  ASSERT_TRUE(WaitFor(folder_changes_, before + 1));
  watch_.StartQuietTimer(20);
  watch_.StartQuietTimer(1);
  ASSERT_TRUE(WaitFor(quiet_, 1));

  watch_.Stop();
  umockdev_testbed_uevent(testbed_, Add("hidraw", "hidraw1").c_str(), "add");
  std::ofstream(image, std::ios::binary) << "again";
  watch_.StartQuietTimer(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(quiet_, 1);
  EXPECT_EQ(interfaces_, 0);
}

}  // namespace
}  // namespace dalvorn::linuxtest

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

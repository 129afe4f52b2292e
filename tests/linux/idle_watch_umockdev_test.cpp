// The program's idle watch on Linux, as its main() makes it: the real udev monitor, told by
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
#include <string>
#include <vector>

#include "device/linux/hidraw_monitor.h"
#include "ui/qt/qt_idle_watch.h"

namespace dalvorn::linuxtest {
namespace {

class CountingEvents final : public IdleWatchEvents {
 public:
  void DeviceInterfaceChanged() override { Told(interfaces); }
  void ProgramFolderChanged() override { Told(folder); }
  void QuietTimeOver() override { Told(quiet); }

  // Runs the event loop until `done` holds; false when the guard ran out first.
  bool WaitFor(const std::function<bool()>& done) {
    if (done()) return true;
    QEventLoop loop;
    done_ = [&] {
      if (done()) loop.quit();
    };
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    const bool ok = loop.exec() == 0;
    done_ = nullptr;
    return ok;
  }

  int interfaces = 0, folder = 0, quiet = 0;

 private:
  void Told(int& count) {
    ++count;
    if (done_) done_();
  }
  std::function<void()> done_;
};

class Testbed {
 public:
  Testbed() : testbed_(umockdev_testbed_new()) {}
  ~Testbed() { g_object_unref(testbed_); }
  // A device of `subsystem` named `name`; its sysfs path.
  std::string Add(const char* subsystem, const char* name) {
    gchar* path = umockdev_testbed_add_device(testbed_, subsystem, name, nullptr, "dev", "1:1",
                                              nullptr, "DEVNAME", name, nullptr);
    std::string syspath = path != nullptr ? path : "";
    g_free(path);
    return syspath;
  }
  void Uevent(const std::string& syspath, const char* action) {
    umockdev_testbed_uevent(testbed_, syspath.c_str(), action);
  }

 private:
  UMockdevTestbed* testbed_;
};

class IdleWatchTest : public ::testing::Test {
 protected:
  IdleWatchTest() : folder_(std::filesystem::temp_directory_path() / "dalvorn-idle-watch") {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  ~IdleWatchTest() override {
    watch_.Stop();
    std::filesystem::remove_all(folder_);
  }

  Testbed testbed_;
  HidrawMonitor monitor_;
  QtIdleWatch watch_{&monitor_};
  CountingEvents events_;
  std::filesystem::path folder_;
};

struct UeventCase {
  const char* subsystem;
  const char* action;
  int told;  // notifications the window is given for it
};

// Only hidraw nodes arriving and leaving are told, each once; whatever comes before them is
// read and dropped.
TEST_F(IdleWatchTest, TellsEachHidrawNodeArrivingOrLeavingOnce) {
  ASSERT_GE(monitor_.Descriptor(), 0) << monitor_.Error();
  watch_.Start(events_, folder_.string());
  // umockdev sends the "add" of each device it makes: the hidraw node's is told.
  const std::string hidraw = testbed_.Add("hidraw", "hidraw0");
  const std::string input = testbed_.Add("input", "event7");
  const UeventCase cases[] = {{"hidraw", "change", 0}, {"input", "add", 0},
                              {"hidraw", "add", 1},    {"hidraw", "bind", 0},
                              {"input", "remove", 0},  {"hidraw", "remove", 1}};
  int expected = 1;
  for (const UeventCase& c : cases) {
    testbed_.Uevent(std::string(c.subsystem) == "hidraw" ? hidraw : input, c.action);
    expected += c.told;
  }
  ASSERT_TRUE(events_.WaitFor([&] { return events_.interfaces >= expected; }));
  EXPECT_EQ(events_.interfaces, expected);
  EXPECT_EQ(events_.folder, 0);
}

TEST_F(IdleWatchTest, TellsTheFolderChangingAndTheImageWrittenInPlace) {
  watch_.Start(events_, folder_.string());
  const auto image = folder_ / "Varnholt.bin";
  std::ofstream(image, std::ios::binary) << "first";
  ASSERT_TRUE(events_.WaitFor([&] { return events_.folder >= 1; }));
  // Written again in place: no entry of the folder changes, the file itself does.
  const int before = events_.folder;
  std::ofstream(image, std::ios::binary | std::ios::app) << "more";
  ASSERT_TRUE(events_.WaitFor([&] { return events_.folder > before; }));
  EXPECT_EQ(events_.interfaces, 0);
}

TEST_F(IdleWatchTest, TheQuietTimerRunsOutOnceAndNothingIsToldOnceStopped) {
  watch_.Start(events_, folder_.string());
  watch_.StartQuietTimer(20);
  watch_.StartQuietTimer(1);  // started again: one run-out
  ASSERT_TRUE(events_.WaitFor([&] { return events_.quiet >= 1; }));
  watch_.Stop();
  const std::string hidraw = testbed_.Add("hidraw", "hidraw1");
  testbed_.Uevent(hidraw, "add");
  std::ofstream(folder_ / "Varnholt.bin") << "x";
  watch_.StartQuietTimer(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(events_.quiet, 1);
  EXPECT_EQ(events_.interfaces, 0);
  EXPECT_EQ(events_.folder, 0);
}

}  // namespace
}  // namespace dalvorn::linuxtest

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

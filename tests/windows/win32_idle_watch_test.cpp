// The idle window's watch on Windows, through the window's own message loop: its registration
// for the HID interface class, WM_DEVICECHANGE as the system sends it (sent here: Wine sends
// none while no device comes or goes), the folder's change notification and the quiet timer.
// The waits run the message loop until what is awaited has come, with a guard of a few seconds.
#include <windows.h>
#undef MessageBox
// After windows.h:
#include <dbt.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ui/win32/win32_idle_watch.h"
#include "ui/win32/win32_window_view.h"

namespace dalvorn {
namespace {

constexpr GUID HidClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr GUID KeyboardClass = {
    0x884B96C3, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};

class Win32IdleWatchTest : public ::testing::Test, public IdleWatchEvents {
 protected:
  Win32IdleWatchTest()
      : folder_(std::filesystem::temp_directory_path() /
                ("dalvorn-idle-watch-" + std::to_string(::GetCurrentProcessId()))) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    watch_.Start(*this, folder_.string());
  }
  ~Win32IdleWatchTest() override {
    watch_.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  void DeviceInterfaceChanged() override { ++interfaces_; }
  void ProgramFolderChanged() override { ++folderChanges_; }
  void QuietTimeOver() override { ++quiet_; }

  // Sends WM_DEVICECHANGE as the system does; returns the interface changes told of it.
  int Send(WPARAM event, DWORD deviceType, const GUID& classGuid) {
    DEV_BROADCAST_DEVICEINTERFACE_W data{};
    data.dbcc_size = sizeof data;
    data.dbcc_devicetype = deviceType;
    data.dbcc_classguid = classGuid;
    const int before = interfaces_;
    ::SendMessageW(static_cast<HWND>(view_.Window()), WM_DEVICECHANGE, event,
                   reinterpret_cast<LPARAM>(&data));
    return interfaces_ - before;
  }
  // Runs the message loop until `count` reaches `least`; false when the guard ran out first.
  bool WaitFor(const int& count, int least) {
    const DWORD deadline = ::GetTickCount() + 5000;
    while (count<least&& static_cast<LONG>(deadline - ::GetTickCount())> 0) {
      view_.HandleNextEvent(deadline - ::GetTickCount());
    }
    return count >= least;
  }

  Win32WindowView view_;
  Win32IdleWatch watch_{view_};
  std::filesystem::path folder_;
  int interfaces_ = 0, folderChanges_ = 0, quiet_ = 0;
};

TEST_F(Win32IdleWatchTest, TellsEachHidInterfaceArrivingOrLeavingAndNothingElse) {
  EXPECT_TRUE(watch_.Registered());
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, HidClass), 1);
  EXPECT_EQ(Send(DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, HidClass), 1);
  EXPECT_EQ(Send(DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE, HidClass), 0);
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, KeyboardClass), 0);
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, HidClass), 0);
  // Broadcast to every window, registered or not: tells of no interface.
  ::SendMessageW(static_cast<HWND>(view_.Window()), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  EXPECT_EQ(interfaces_, 2);
  watch_.Stop();
  EXPECT_FALSE(watch_.Registered());
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, HidClass), 0);
}

// The folder (the image added, then written in place); the timer, started again, runs out
// once; once stopped, nothing is told.
TEST_F(Win32IdleWatchTest, TellsTheFolderAndTheTimerUntilStopped) {
  EXPECT_TRUE(watch_.WatchingFolder());
  std::ofstream(folder_ / "Varnholt.bin", std::ios::binary) << "first";
  ASSERT_TRUE(WaitFor(folderChanges_, 1));
  const int before = folderChanges_;
  std::ofstream(folder_ / "Varnholt.bin", std::ios::binary | std::ios::app) << "more";
  ASSERT_TRUE(WaitFor(folderChanges_, before + 1));
  watch_.StartQuietTimer(30);
  watch_.StartQuietTimer(1);
  ASSERT_TRUE(WaitFor(quiet_, 1));
  watch_.StartQuietTimer(1);
  watch_.Stop();
  EXPECT_FALSE(watch_.WatchingFolder());
  while (view_.HandleNextEvent(50)) {
  }
  EXPECT_EQ(quiet_, 1);
}

}  // namespace
}  // namespace dalvorn

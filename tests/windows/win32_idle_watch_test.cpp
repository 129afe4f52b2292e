// The idle window's watch on Windows, through the window's own message loop: its registration
// for the HID interface class, WM_DEVICECHANGE as the system sends it (posted here: Wine sends
// none with no device plugged in), the folder's change notification and the quiet timer. The
// waits run the message loop until what is awaited has come, with a guard of a few seconds.
#include <windows.h>
#undef MessageBox
// After windows.h:
#include <dbt.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "ui/win32/win32_idle_watch.h"
#include "ui/win32/win32_window_view.h"

namespace dalvorn {
namespace {

constexpr GUID HidClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// The keyboard interface class: another class than the one the window registered for.
constexpr GUID KeyboardClass = {
    0x884B96C3, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};

class CountingEvents final : public IdleWatchEvents {
 public:
  void DeviceInterfaceChanged() override { ++interfaces; }
  void ProgramFolderChanged() override { ++folder; }
  void QuietTimeOver() override { ++quiet; }
  int interfaces = 0, folder = 0, quiet = 0;
};

class Win32IdleWatchTest : public ::testing::Test {
 protected:
  Win32IdleWatchTest()
      : folder_(std::filesystem::temp_directory_path() /
                ("dalvorn-idle-watch-" + std::to_string(::GetCurrentProcessId()))) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  ~Win32IdleWatchTest() override {
    watch_.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  HWND Window() const { return static_cast<HWND>(view_.Window()); }
  // Runs the message loop until `done` holds; false when the guard ran out first.
  bool WaitFor(const std::function<bool()>& done) {
    const DWORD deadline = ::GetTickCount() + 5000;
    while (!done()) {
      const DWORD now = ::GetTickCount();
      if (static_cast<LONG>(deadline - now) <= 0) return false;
      view_.HandleNextEvent(deadline - now);
    }
    return true;
  }

  Win32WindowView view_;
  Win32IdleWatch watch_{view_};
  CountingEvents events_;
  std::filesystem::path folder_;
};

struct DeviceChange {
  const char* name;
  WPARAM event;
  DWORD deviceType;
  GUID classGuid;
  int told;
};

TEST_F(Win32IdleWatchTest, TellsEachHidInterfaceArrivingOrLeavingAndNothingElse) {
  watch_.Start(events_, folder_.string());
  EXPECT_TRUE(watch_.Registered());
  EXPECT_TRUE(watch_.WatchingFolder());
  const DeviceChange changes[] = {
      {"HID interface arrived", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, HidClass, 1},
      {"HID interface removed", DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, HidClass, 1},
      {"asked to remove it", DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE, HidClass, 0},
      {"a keyboard interface", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, KeyboardClass, 0},
      {"a volume", DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, HidClass, 0},
  };
  for (const DeviceChange& c : changes) {
    SCOPED_TRACE(c.name);
    DEV_BROADCAST_DEVICEINTERFACE_W data{};
    data.dbcc_size = sizeof data;
    data.dbcc_devicetype = c.deviceType;
    data.dbcc_classguid = c.classGuid;
    const int before = events_.interfaces;
    ::SendMessageW(Window(), WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(&data));
    EXPECT_EQ(events_.interfaces - before, c.told);
  }
  // Broadcast to every window, registered or not: tells of no interface.
  ::SendMessageW(Window(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  EXPECT_EQ(events_.interfaces, 2);

  watch_.Stop();
  EXPECT_FALSE(watch_.Registered());
  EXPECT_FALSE(watch_.WatchingFolder());
  DEV_BROADCAST_DEVICEINTERFACE_W data{};
  data.dbcc_size = sizeof data;
  data.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  data.dbcc_classguid = HidClass;
  ::SendMessageW(Window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&data));
  EXPECT_EQ(events_.interfaces, 2);
}

TEST_F(Win32IdleWatchTest, TellsTheFolderChangingThroughTheMessageLoop) {
  watch_.Start(events_, folder_.string());
  std::ofstream(folder_ / "Varnholt.bin", std::ios::binary) << "first";
  ASSERT_TRUE(WaitFor([&] { return events_.folder >= 1; }));
  // Written again in place: its size changes.
  const int before = events_.folder;
  std::ofstream(folder_ / "Varnholt.bin", std::ios::binary | std::ios::app) << "more";
  ASSERT_TRUE(WaitFor([&] { return events_.folder > before; }));
  EXPECT_EQ(events_.interfaces, 0);
}

TEST_F(Win32IdleWatchTest, TheQuietTimerRunsOutOnceWhenStartedAgainAndNeverOnceStopped) {
  watch_.Start(events_, folder_.string());
  watch_.StartQuietTimer(30);
  watch_.StartQuietTimer(1);  // the same timer, started again
  ASSERT_TRUE(WaitFor([&] { return events_.quiet >= 1; }));
  watch_.StartQuietTimer(1);
  watch_.Stop();
  // Whatever the stopped timer might still have queued is handled, and tells nothing.
  while (view_.HandleNextEvent(0)) {
  }
  EXPECT_EQ(events_.quiet, 1);
}

}  // namespace
}  // namespace dalvorn

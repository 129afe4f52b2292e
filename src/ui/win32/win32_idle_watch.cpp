#include "ui/win32/win32_idle_watch.h"

#include <windows.h>
// After windows.h:
#include <dbt.h>

#include "ui/win32/win32_system.h"

namespace dalvorn {
namespace {

// The HID device interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
constexpr GUID HidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr UINT_PTR QuietTimerId = 0x51E7;

HWND WindowOf(Win32WindowView& view) {
  return static_cast<HWND>(view.Window());
}

// An interface of the HID class arriving or leaving, as WM_DEVICECHANGE tells it.
bool IsHidInterfaceChange(WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return false;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
      header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)) {
    return false;
  }
  const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
  return ::IsEqualGUID(device->dbcc_classguid, HidInterfaceClass) != FALSE;
}

}  // namespace

Win32IdleWatch::Win32IdleWatch(Win32WindowView& view) : view_(view) {}

Win32IdleWatch::~Win32IdleWatch() {
  Stop();
}

void Win32IdleWatch::Start(IdleWatchEvents& events, const std::string& folder) {
  Stop();
  events_ = &events;
  view_.SetMessageHook([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return HandleMessage(message, wParam, lParam);
  });
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = HidInterfaceClass;
  registration_ =
      ::RegisterDeviceNotificationW(WindowOf(view_), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  const std::wstring path = win32::Utf8ToWide(folder);
  HANDLE change = ::FindFirstChangeNotificationW(
      path.c_str(), FALSE,
      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (change != INVALID_HANDLE_VALUE) {
    folderChange_ = change;
    view_.WatchHandle(change, [this] { FolderChanged(); });
  }
}

void Win32IdleWatch::Stop() {
  events_ = nullptr;
  view_.SetMessageHook(nullptr);
  view_.WatchHandle(nullptr, nullptr);
  if (registration_ != nullptr) {
    ::UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(registration_));
    registration_ = nullptr;
  }
  if (folderChange_ != nullptr) {
    ::FindCloseChangeNotification(static_cast<HANDLE>(folderChange_));
    folderChange_ = nullptr;
  }
  if (timerArmed_) {
    ::KillTimer(WindowOf(view_), QuietTimerId);
    timerArmed_ = false;
  }
}

void Win32IdleWatch::StartQuietTimer(std::uint32_t milliseconds) {
  if (events_ == nullptr) return;
  // The same id again restarts it.
  timerArmed_ = ::SetTimer(WindowOf(view_), QuietTimerId, milliseconds, nullptr) != 0;
}

bool Win32IdleWatch::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (message == WM_DEVICECHANGE) {
    if (events_ != nullptr && IsHidInterfaceChange(wParam, lParam)) {
      events_->DeviceInterfaceChanged();
    }
    return false;  // the window's own handling (the system's default) follows
  }
  if (message == WM_TIMER && wParam == QuietTimerId) {
    ::KillTimer(WindowOf(view_), QuietTimerId);
    timerArmed_ = false;
    if (events_ != nullptr) events_->QuietTimeOver();
    return true;
  }
  return false;
}

void Win32IdleWatch::FolderChanged() {
  // Asks for the next change first, so that none made meanwhile is missed.
  ::FindNextChangeNotification(static_cast<HANDLE>(folderChange_));
  if (events_ != nullptr) events_->ProgramFolderChanged();
}

}  // namespace dalvorn

// The idle window's notifications on Windows: the window registered for the HID interface
// class (RegisterDeviceNotificationW), told by WM_DEVICECHANGE of each interface that arrives
// (DBT_DEVICEARRIVAL) or leaves (DBT_DEVICEREMOVECOMPLETE); the program folder's change
// notification (FindFirstChangeNotificationW) waited on by the message loop; and a one-shot
// window timer for the quiet time. The message loop sleeps until one of them wakes it.
#pragma once

#include <cstdint>
#include <string>

#include "ui/idle_watch.h"
#include "ui/win32/win32_window_view.h"

namespace dalvorn {

class Win32IdleWatch final : public IdleWatch {
 public:
  // Watches for `view`'s window, which must outlive the watch.
  explicit Win32IdleWatch(Win32WindowView& view);
  ~Win32IdleWatch() override;
  Win32IdleWatch(const Win32IdleWatch&) = delete;
  Win32IdleWatch& operator=(const Win32IdleWatch&) = delete;

  void Start(IdleWatchEvents& events, const std::string& folder) override;
  // Unregisters the window and closes the folder's notification.
  void Stop() override;
  void StartQuietTimer(std::uint32_t milliseconds) override;

  // Whether the window is registered for HID interface notifications, and the folder watched.
  bool Registered() const { return registration_ != nullptr; }
  bool WatchingFolder() const { return folderChange_ != nullptr; }

 private:
  bool HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
  void FolderChanged();

  Win32WindowView& view_;
  IdleWatchEvents* events_ = nullptr;
  void* registration_ = nullptr;  // HDEVNOTIFY
  void* folderChange_ = nullptr;  // the change notification's HANDLE
  bool timerArmed_ = false;
};

}  // namespace dalvorn

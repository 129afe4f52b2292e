// The idle window's notifications on the Qt event loop: a device monitor's descriptor watched
// by a QSocketNotifier, the program folder (and the image and signature in it) by a
// QFileSystemWatcher, and a one-shot QTimer for the quiet time. Nothing runs between them:
// the event loop sleeps until the system has something to tell.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/device_monitor.h"
#include "ui/idle_watch.h"

class QFileSystemWatcher;
class QSocketNotifier;
class QTimer;

namespace dalvorn {

class QtIdleWatch final : public IdleWatch {
 public:
  // `monitor` tells of HID interfaces; null, or one that could not be set up, tells nothing
  // (the window then looks at the device at its load only). Needs a QCoreApplication.
  explicit QtIdleWatch(DeviceMonitor* monitor);
  ~QtIdleWatch() override;
  QtIdleWatch(const QtIdleWatch&) = delete;
  QtIdleWatch& operator=(const QtIdleWatch&) = delete;

  void Start(IdleWatchEvents& events, const std::string& folder) override;
  void Stop() override;
  void StartQuietTimer(std::uint32_t milliseconds) override;

 private:
  void DevicesChanged();
  void FolderChanged();
  // Watches the folder, and the image and its signature where they exist (a file written in
  // place changes no folder entry); a file replaced or removed drops out of the watch.
  void WatchFolderFiles();

  DeviceMonitor* monitor_;
  IdleWatchEvents* events_ = nullptr;
  std::string folder_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QFileSystemWatcher> files_;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace dalvorn

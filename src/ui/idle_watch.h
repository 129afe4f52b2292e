// What the window hears from the system while it idles: HID interfaces arriving and leaving,
// the program's folder changing, and the window's own quiet timer. Nothing here polls: each
// backend passes on what the system tells it (a udev monitor, WM_DEVICECHANGE, the file
// system's change notifications, a one-shot timer), on the window's thread, from its event
// loop.
#pragma once

#include <cstdint>
#include <string>

namespace dalvorn {

// The window's side: what it is told.
class IdleWatchEvents {
 public:
  virtual ~IdleWatchEvents() = default;
  // One HID interface arrived or left: one call for each interface, as the system tells them.
  virtual void DeviceInterfaceChanged() = 0;
  // Something in the program's folder changed: a file added, removed, renamed or written.
  virtual void ProgramFolderChanged() = 0;
  // The quiet timer ran out.
  virtual void QuietTimeOver() = 0;
};

class IdleWatch {
 public:
  virtual ~IdleWatch() = default;

  // Starts telling `events` of HID interfaces arriving and leaving and of changes in `folder`
  // (UTF-8). Where the system cannot tell one of them, that one is never told.
  virtual void Start(IdleWatchEvents& events, const std::string& folder) = 0;
  // Stops for good, the quiet timer too: once it returns, `events` is never called again.
  // Harmless when not started.
  virtual void Stop() = 0;
  // Arms the one-shot quiet timer to run out `milliseconds` from now; an armed timer starts
  // again. Only while started.
  virtual void StartQuietTimer(std::uint32_t milliseconds) = 0;
};

// A system that tells nothing: the window looks at the device and the image at its load only.
class NoIdleWatch final : public IdleWatch {
 public:
  void Start(IdleWatchEvents&, const std::string&) override {}
  void Stop() override {}
  void StartQuietTimer(std::uint32_t) override {}
};

inline IdleWatch& NoIdleWatchService() {
  static NoIdleWatch none;
  return none;
}

}  // namespace dalvorn

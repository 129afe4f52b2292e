// The desktop around the window: the update's progress on the program's taskbar button or dock
// icon, and a notification when an update ends. A service of the operating system beside the
// HID operations, as the power guard is; what the desktop lacks or refuses changes nothing.
#pragma once

#include <memory>
#include <string>

namespace dalvorn {

// The name of the program's desktop entry and of its icon, as the desktop knows them.
inline constexpr const char* ShellEntryName = "dalvorn-firmware-update";

enum class TaskbarState {
  Normal,   // the progress value shows
  Waiting,  // something is under way whose length is not known
  Error,    // the update failed; the person is being told
  None,     // no progress shown
};

// "normal", "waiting", "error", "none".
const char* TaskbarStateName(TaskbarState state);

class DesktopShell {
 public:
  virtual ~DesktopShell() = default;

  virtual void SetTaskbarState(TaskbarState state) = 0;
  // The share done, 0 to 100; the caller sends a few values a second at most.
  virtual void SetTaskbarProgress(int percent) = 0;
  // A notification of the desktop with a title and a body.
  virtual void Notify(const std::string& title, const std::string& body) = 0;
};

// A desktop with none of these services.
class NoDesktopShell final : public DesktopShell {
 public:
  void SetTaskbarState(TaskbarState) override {}
  void SetTaskbarProgress(int) override {}
  void Notify(const std::string&, const std::string&) override {}
};

inline DesktopShell& NoDesktopService() {
  static NoDesktopShell none;
  return none;
}

// The operating system's desktop services. `window` is the program's main window as the system
// knows it (an HWND on Windows, whose taskbar button shows the progress); other systems take
// null and ignore it.
std::unique_ptr<DesktopShell> MakeOsDesktopShell(void* window = nullptr);

}  // namespace dalvorn

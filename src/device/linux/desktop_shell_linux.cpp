// The desktop's services on Linux, over the session bus with sd-bus: the progress on the dock
// or the task manager as the com.canonical.Unity.LauncherEntry Update signal (which KDE
// Plasma's task manager and the GNOME docks show), and the end of an update as a freedesktop
// notification. Both are sent without waiting for an answer, so that a slow or absent service
// never holds the update; with no session bus nothing is sent and nothing said.
#include <cstdint>
#include <memory>
#include <string>

#include <systemd/sd-bus.h>

#include "dalvorn/product_version.h"  // ApplicationName
#include "device/desktop_shell.h"
#include "device/linux/sd_bus_handles.h"

namespace dalvorn {
namespace {

constexpr const char* EntryPath = "/com/canonical/unity/launcherentry/dalvorn_firmware_update";
constexpr const char* EntryInterface = "com.canonical.Unity.LauncherEntry";
constexpr const char* NotifyService = "org.freedesktop.Notifications";
constexpr const char* NotifyPath = "/org/freedesktop/Notifications";

// The body of a notification is read as simple markup by most servers.
std::string EscapedMarkup(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '&') {
      escaped += "&amp;";
    } else if (c == '<') {
      escaped += "&lt;";
    } else if (c == '>') {
      escaped += "&gt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

class LinuxDesktopShell final : public DesktopShell {
 public:
  void SetTaskbarState(TaskbarState state) override {
    visible_ = state == TaskbarState::Normal;
    urgent_ = state == TaskbarState::Error;
    SendEntryUpdate();
  }

  void SetTaskbarProgress(int percent) override {
    progress_ = static_cast<double>(percent) / 100.0;
    visible_ = true;
    SendEntryUpdate();
  }

  void Notify(const std::string& title, const std::string& body) override {
    sd_bus* bus = Connect();
    if (bus == nullptr) return;
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus, &raw, NotifyService, NotifyPath, NotifyService,
                                           "Notify");
    const Message message(raw);
    const std::string app(ApplicationName);
    const std::string text = EscapedMarkup(body);
    if (r >= 0) {
      r = sd_bus_message_append(raw, "susssas", app.c_str(), std::uint32_t{0}, ShellEntryName,
                                title.c_str(), text.c_str(), 0);
    }
    if (r >= 0) {
      r = sd_bus_message_append(raw, "a{sv}i", 1, "desktop-entry", "s", ShellEntryName,
                                std::int32_t{-1});
    }
    if (r >= 0) r = sd_bus_message_set_expect_reply(raw, 0);
    if (r >= 0) Send(raw);
  }

 private:
  // The session bus, opened at the first use; null when there is none.
  sd_bus* Connect() {
    if (!tried_) {
      tried_ = true;
      sd_bus* bus = nullptr;
      if (sd_bus_open_user(&bus) >= 0) bus_.reset(bus);
    }
    return bus_.get();
  }

  void SendEntryUpdate() {
    sd_bus* bus = Connect();
    if (bus == nullptr) return;
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_signal(bus, &raw, EntryPath, EntryInterface, "Update");
    const Message message(raw);
    const std::string uri = std::string("application://") + ShellEntryName + ".desktop";
    if (r >= 0) {
      r = sd_bus_message_append(raw, "sa{sv}", uri.c_str(), 3, "progress", "d", progress_,
                                "progress-visible", "b", static_cast<int>(visible_), "urgent", "b",
                                static_cast<int>(urgent_));
    }
    if (r >= 0) Send(raw);
  }

  // Queues the message and writes it out now: the program runs no loop for the bus.
  void Send(sd_bus_message* message) {
    if (sd_bus_send(bus_.get(), message, nullptr) >= 0) sd_bus_flush(bus_.get());
  }

  Bus bus_;
  bool tried_ = false;
  double progress_ = 0;
  bool visible_ = false;
  bool urgent_ = false;
};

}  // namespace

std::unique_ptr<DesktopShell> MakeOsDesktopShell(void* /*window*/) {
  return std::make_unique<LinuxDesktopShell>();
}

}  // namespace dalvorn

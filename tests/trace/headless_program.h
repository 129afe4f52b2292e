// The program's window behaviour run as the real program runs it after a click, with a view
// that draws nothing: load, click, close if still loaded, terminate, every step traced. The
// VM test and the record-and-replay tests run the program this way over any platform.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "trace/trace_writer.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"

namespace dalvorn::testing {

// A window with nothing to show: it unloads like a toolkit's and lets a fixture act at every
// event pump.
class QuietView final : public WindowView {
 public:
  explicit QuietView(std::function<void()> atPump = {}) : atPump_(std::move(atPump)) {}

  void SetEvents(WindowEvents* events) override { events_ = events; }
  void Show() override {}
  // The design width, as the toolkits lay the control out at 96 dots per inch.
  float Width(Control control) const override;
  void SetWidth(Control, float) override {}
  void SetVisible(Control, bool) override {}
  void SetEnabled(Control control, bool enabled) override;
  void SetCaption(Control, const std::string&) override {}
  void Repaint(Control) override {}
  // A window left open for ever (a device that never comes back) is closed at the 1000th.
  void PumpEvents() override {
    if (atPump_) atPump_();
    if (++pumps_ == 1000) Unload();
  }
  void Unload() override;
  void MessageBox(const std::string&) override {}

  void Click();
  bool Unloaded() const { return unloaded_; }

 private:
  std::function<void()> atPump_;
  WindowEvents* events_ = nullptr;
  bool buttonEnabled_ = true;
  bool unloaded_ = false;
  int pumps_ = 0;
};

// Runs the program over `platform` (traced already, or the emulated one that traces itself)
// with a click once loaded, writing the window, image and `exit` lines to `trace`. The image is
// read from the platform's program folder; the update asks `power` (traced already, if at all).
// Returns the exit status.
int RunClickedProgram(HidPlatform& platform, TraceWriter& trace, std::function<void()> atPump = {},
                      PowerGuard& power = NoPowerService());

}  // namespace dalvorn::testing

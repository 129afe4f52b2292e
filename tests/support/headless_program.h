// The program's window behaviour run as the real program runs it after a click, with a view
// that draws nothing: load, click, close if still loaded, terminate, every step traced. The
// VM test and the record-and-replay tests run the program this way over any platform.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "trace/trace_writer.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"

namespace dalvorn::testing {

// A window with nothing to show: it keeps the state a toolkit would show, unloads like one, and
// lets a fixture act at every event pump.
class HeadlessView final : public WindowView {
 public:
  // `atPump` runs at every event pump; with `maxPumps`, the window unloads at that pump, as a
  // person closes one left open for ever (a device that never comes back).
  explicit HeadlessView(std::function<void()> atPump = {}, int maxPumps = 0)
      : atPump_(std::move(atPump)), maxPumps_(maxPumps) {}

  void SetEvents(WindowEvents* events) override { events_ = events; }
  void Show() override { shown = true; }
  // The width set last, else the design width, as the toolkits lay it out at 96 dots per inch.
  float Width(Control control) const override;
  void SetWidth(Control control, float twips) override { widths[control] = twips; }
  void SetVisible(Control control, bool on) override { visible[control] = on; }
  void SetEnabled(Control control, bool on) override { enabled[control] = on; }
  void SetCaption(Control control, const std::string& text) override { captions[control] = text; }
  void Repaint(Control) override {}
  void PumpEvents() override {
    if (atPump_) atPump_();
    if (++pumps_ == maxPumps_) Unload();
  }
  void Unload() override { CloseAsCloseBox(); }
  void MessageBox(const std::string& text) override { messageBoxes.push_back(text); }

  // As the close box does: the unload handling runs once, then the window is gone.
  void CloseAsCloseBox();
  // As a click: an unloaded window or a disabled button takes none.
  void Click();

  bool shown = false;
  bool unloaded = false;
  std::map<Control, float> widths;
  std::map<Control, bool> visible;
  std::map<Control, bool> enabled;
  std::map<Control, std::string> captions;
  std::vector<std::string> messageBoxes;

 private:
  std::function<void()> atPump_;
  int maxPumps_;
  int pumps_ = 0;
  WindowEvents* events_ = nullptr;
};

// Runs the program over `platform` (traced already, or the emulated one that traces itself)
// with a click once loaded, writing the window, image and `exit` lines to `trace`. The image is
// read from the platform's program folder; the update asks `power` (traced already, if at all).
// Returns the exit status.
int RunClickedProgram(HidPlatform& platform, TraceWriter& trace, std::function<void()> atPump = {},
                      PowerGuard& power = NoPowerService());

}  // namespace dalvorn::testing

// A whole program over the emulated host: the window's behaviour with a view that draws
// nothing, the emulated platform, a firmware image in a folder of its own, and the trace.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "emulated_idle_watch.h"
#include "emulated_platform.h"
#include "emulated_power.h"
#include "pump_injections.h"
#include "trace/tracing_desktop_shell.h"
#include "trace/tracing_idle_watch.h"
#include "trace/tracing_image_file.h"
#include "trace/tracing_window.h"
#include "ui/frm_main.h"

namespace dalvorn::testing {

using nlohmann::json;

// Keeps the state a toolkit would show, and unloads like one.
class HeadlessView final : public WindowView {
 public:
  void SetEvents(WindowEvents* events) override { events_ = events; }
  void Show() override { shown = true; }
  float Width(Control control) const override;
  void SetWidth(Control control, float twips) override { widths[control] = twips; }
  void SetVisible(Control control, bool visible) override { this->visible[control] = visible; }
  void SetEnabled(Control control, bool enabled) override { this->enabled[control] = enabled; }
  void SetCaption(Control control, const std::string& text) override { captions[control] = text; }
  void Repaint(Control) override {}
  void PumpEvents() override {}
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
  WindowEvents* events_ = nullptr;
};

// Whether the program asks a power service (the scenario's `power`, as the runner does) or runs
// with none, as on a system without one.
enum class PowerService { None, Emulated };

class EmulatedHost {
 public:
  // `scenarioJson` in the scenario file's format; `imageBytes` < 0 leaves no image.
  // The taskbar and the notifications go to `desktop` through the trace.
  explicit EmulatedHost(const std::string& scenarioJson, long imageBytes = 4000,
                        PowerService powerService = PowerService::None,
                        DesktopShell& desktop = NoDesktopService());
  ~EmulatedHost();

  void Load();  // Form_Load
  // Lets `ms` virtual milliseconds pass idle: the scenario's notifications and the window's
  // quiet timer are told as they fall due (the runner's --idle-ms).
  void Idle(std::int64_t ms) { idleWatch.Idle(ms); }
  void Click() { view.Click(); }
  void Close() { view.CloseAsCloseBox(); }
  // Ends the program as the runner does: terminate handling, flash line, exit line.
  int Finish();
  // Closes the window at the N-th event pump from now on (1 = the next).
  void CloseAtPump(int pump);

  // The trace so far, one object a line.
  std::vector<json> Trace() const;
  // The lines of one kind (`ev`), and of `call` lines the ones of one function.
  std::vector<json> Events(const std::string& ev) const;
  std::vector<json> Calls(const std::string& fn) const;
  std::vector<std::string> ButtonCaptions() const;
  std::vector<double> ProgressWidths() const;
  // Data of every data block the device took, in order.
  std::vector<std::uint8_t> Image() const { return image_; }
  std::string Label(Control label) { return view.captions[label]; }

  DeviceSession& Session() { return frm.Session(); }
  std::filesystem::path ImagePath() const;

  std::filesystem::path folder;
  std::ostringstream traceText;
  emulator::EmulationClock clock;
  TraceWriter trace;
  emulator::Scenario scenario;
  emulator::EmulatedPlatform platform;
  emulator::EmulatedPowerGuard power;
  HeadlessView view;
  TracingWindowView tracingView;
  emulator::PumpInjectingView injectingView;
  DiskFirmwareImageFile disk;
  TracingFirmwareImageFile imageFile;
  emulator::EmulatedIdleWatch idleWatch;
  TracingIdleWatch tracingWatch;
  TracingDesktopShell shell;  // the emulated desktop, as the runner has it
  FrmMain frm;

 private:
  std::vector<std::uint8_t> image_;
};

// The i-th byte of the test images.
inline std::uint8_t ImageByte(std::size_t i) {
  return static_cast<std::uint8_t>(i * 13 + 7);
}

std::vector<std::uint8_t> HexBytes(const std::string& hex);

}  // namespace dalvorn::testing

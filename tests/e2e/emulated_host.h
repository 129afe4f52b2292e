// A whole program over the emulated host: the window's behaviour with a view that draws
// nothing, the emulated platform, a firmware image in a folder of its own, and the trace.
#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "emulated_idle_watch.h"
#include "emulated_platform.h"
#include "emulated_power.h"
#include "headless_program.h"
#include "pump_injections.h"
#include "scratch_folder.h"
#include "trace/tracing_desktop_shell.h"
#include "trace/tracing_idle_watch.h"
#include "trace/tracing_image_file.h"
#include "trace/tracing_power_guard.h"
#include "trace/tracing_window.h"
#include "ui/frm_main.h"

namespace dalvorn::testing {

using nlohmann::json;

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

  ScratchFolder scratch;  // removed last, once everything that used it has gone
  std::filesystem::path folder;
  std::ostringstream traceText;
  emulator::EmulationClock clock;
  TraceWriter trace;
  emulator::Scenario scenario;
  emulator::EmulatedPlatform platform;
  emulator::EmulatedPowerGuard scenarioPower;
  TracingPowerGuard power;
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

// The program's window behaviour and update, with the operating system's real power service,
// over the emulated device on its virtual clock, with a window that draws nothing. The D-Bus
// test (logind_upower_test.py) runs it against mock services and looks at the system bus and
// at this process's descriptors when it stops. It writes one line on standard output at each
// stop and waits for a line on standard input before it goes on:
//   loaded     the window has loaded; nothing has been clicked
//   pump       the update's first event pump
//   unloaded   the window has unloaded; the process still runs
// and "box TEXT" for each message box, "exit N" last; it exits with the program's status.
//   power_probe FOLDER        (the probe writes FOLDER/Varnholt.bin)
#include <fstream>
#include <iostream>
#include <string>

#include "device/power_guard.h"
#include "emulated_platform.h"
#include "emulation_clock.h"
#include "scenario.h"
#include "trace/trace_writer.h"
#include "ui/frm_main.h"
#include "ui/window_controls.h"
#include "update/firmware_image.h"

namespace dalvorn {
namespace {

void Stop(const char* point) {
  std::cout << point << std::endl;
  std::string go;
  std::getline(std::cin, go);
}

class ProbeView final : public WindowView {
 public:
  void SetEvents(WindowEvents* events) override { events_ = events; }
  void Show() override {}
  float Width(Control control) const override {
    const ControlLayout* layout = FindLayout(control);
    return layout != nullptr ? static_cast<float>(layout->width) : 0.0f;
  }
  void SetWidth(Control, float) override {}
  void SetVisible(Control, bool) override {}
  void SetEnabled(Control control, bool enabled) override {
    if (control == Control::btnUpgradeFW) buttonEnabled_ = enabled;
  }
  void SetCaption(Control, const std::string&) override {}
  void Repaint(Control) override {}
  void PumpEvents() override {
    if (pumps_++ == 0) Stop("pump");
  }
  void Unload() override {
    if (unloaded_) return;
    unloaded_ = true;
    if (events_ != nullptr) events_->Form_Unload();
  }
  void MessageBox(const std::string& text) override { std::cout << "box " << text << std::endl; }

  void Click() {
    if (!unloaded_ && buttonEnabled_ && events_ != nullptr) events_->btnUpgradeFW_Click();
  }

 private:
  WindowEvents* events_ = nullptr;
  bool buttonEnabled_ = true;
  bool unloaded_ = false;
  int pumps_ = 0;
};

}  // namespace
}  // namespace dalvorn

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: power_probe FOLDER\n";
    return 64;
  }
  const std::string folder = argv[1];
  {
    std::ofstream out(dalvorn::FirmwareImagePath(folder), std::ios::binary);
    for (int i = 0; i < 400; ++i) out.put(static_cast<char>(i * 13 + 7));
  }
  dalvorn::emulator::EmulationClock clock;
  dalvorn::TraceWriter trace(nullptr, clock);
  dalvorn::emulator::EmulatedPlatform platform(dalvorn::emulator::BuiltInScenario(), clock, trace,
                                               folder);
  dalvorn::DiskFirmwareImageFile image;
  const auto power = dalvorn::MakeOsPowerGuard();
  dalvorn::ProbeView view;
  dalvorn::FrmMain frm(platform, view, image, *power);
  view.SetEvents(&frm);
  frm.Form_Load();
  dalvorn::Stop("loaded");
  view.Click();
  view.Unload();  // as the close box does, when the update has not unloaded the window
  dalvorn::Stop("unloaded");
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  std::cout << "exit " << frm.ExitCode() << std::endl;
  return frm.ExitCode();
}

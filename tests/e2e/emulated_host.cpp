#include "emulated_host.h"

#include <gtest/gtest.h>

#include <fstream>

#include "scenario.h"

namespace dalvorn::testing {
namespace {

// The folder's name tells whose it is: the test's name, as test programs run side by side.
std::string FolderName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name =
      info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "host";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return "-e2e-" + name;
}

}  // namespace

EmulatedHost::EmulatedHost(const std::string& scenarioJson, long imageBytes,
                           PowerService powerService, DesktopShell& desktop)
    : scratch(FolderName()),
      folder(scratch.Root()),
      trace(&traceText, clock),
      scenario(emulator::ParseScenario(scenarioJson)),
      platform(scenario, clock, trace, folder.string()),
      scenarioPower(scenario.power),
      power(scenarioPower, trace),
      tracingView(view, trace),
      injectingView(tracingView),
      imageFile(disk, trace),
      idleWatch(scenario, clock, folder.string()),
      tracingWatch(idleWatch, trace),
      shell(desktop, trace),
      frm(platform, injectingView, imageFile,
          powerService == PowerService::Emulated ? static_cast<PowerGuard&>(power)
                                                 : NoPowerService(),
          tracingWatch, shell) {
  if (imageBytes >= 0) {
    std::ofstream out(ImagePath(), std::ios::binary);
    for (long i = 0; i < imageBytes; ++i) {
      image_.push_back(ImageByte(static_cast<std::size_t>(i)));
      out.put(static_cast<char>(image_.back()));
    }
    image_.resize(image_.size() / FlashRecordSize * FlashRecordSize);
  }
  injectingView.SetEvents(&frm);
}

std::filesystem::path EmulatedHost::ImagePath() const {
  return FirmwareImagePath(folder.string());
}

void EmulatedHost::Load() {
  frm.Form_Load();
}

int EmulatedHost::Finish() {
  trace.Window("terminate");
  frm.Form_Terminate();
  platform.WriteFlashLine();
  trace.Exit(frm.ExitCode());
  return frm.ExitCode();
}

void EmulatedHost::CloseAtPump(int pump) {
  emulator::PumpInjections injections;
  injections.closeAtPump = pump;
  injections.close = [this] { view.CloseAsCloseBox(); };
  injections.click = [this] { view.Click(); };
  injectingView.Arm(injections);
}

std::vector<json> EmulatedHost::Trace() const {
  std::vector<json> lines;
  std::istringstream in(traceText.str());
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  return lines;
}

std::vector<json> EmulatedHost::Events(const std::string& ev) const {
  std::vector<json> lines;
  for (json& line : Trace()) {
    if (line["ev"] == ev) lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<json> EmulatedHost::Calls(const std::string& fn) const {
  std::vector<json> lines;
  for (json& line : Events("call")) {
    if (line["fn"] == fn) lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> EmulatedHost::ButtonCaptions() const {
  std::vector<std::string> captions;
  for (const json& line : Events("window")) {
    if (line["op"] == "caption") captions.push_back(line["text"]);
  }
  return captions;
}

std::vector<double> EmulatedHost::ProgressWidths() const {
  std::vector<double> widths;
  for (const json& line : Events("window")) {
    if (line["op"] == "width") widths.push_back(line["value"]);
  }
  return widths;
}

std::vector<std::uint8_t> HexBytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace dalvorn::testing

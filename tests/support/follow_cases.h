// One table of a window that follows the host while it idles, run through the headless window,
// the Qt runner and the Win32 runner alike: devices plugged in and out, a second device, a burst
// of interfaces, a long quiet, many comings and goings, and the image copied in. Each run loads,
// idles, then clicks.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "runner_run.h"

namespace dalvorn::testing {

struct FollowCase {
  const char* name;
  const char* scenario;
  // false: no image at the load; the test writes it as "staged.bin" for the scenario's
  // program_folder to copy in.
  bool imageAtLoad;
  std::int64_t idleMs;
  const char* status;  // the start of the status line when the click comes
  bool enabled;        // the button when the click comes
  int exitCode;
  bool updated;           // every whole record flashed; else nothing sent at all
  int deviceChanges;      // device_change lines
  int searchesWhileIdle;  // interface walks (SetupDiGetClassDevsA) between the load and the click
};

inline void PrintTo(const FollowCase& c, std::ostream* os) {
  *os << c.name;
}

// The runner's options for the case, beside the scenario, the program folder and the trace.
inline std::vector<std::string> FollowArguments(const FollowCase& c) {
  return {"--idle-ms", std::to_string(c.idleMs), "--click"};
}

// 100 interfaces of the kind, one after the other, each plugged in for half a second.
inline std::string HundredComingsAndGoings() {
  std::string interfaces;
  for (int i = 0; i < 100; ++i) {
    interfaces += (i == 0 ? "" : ", ") +
                  std::string(R"({"vendor": "0x1209", "product": "0x0001", )") +
                  R"("report_length": 41, "plugged_at_ms": )" + std::to_string(1000 * i + 100) +
                  R"(, "unplugged_at_ms": )" + std::to_string(1000 * i + 600) + "}";
  }
  return R"({"interfaces": [)" + interfaces + R"(], "device": {"present": false}})";
}

inline const std::vector<FollowCase>& FollowCases() {
  static const std::string hundred = HundredComingsAndGoings();
  static const std::vector<FollowCase> cases = {
      {"PluggedInFiveSecondsAfterTheLoad", R"({"device": {"plugged_at_ms": 5000}})", true, 6000,
       "Ready to update. It takes less than a minute.", true, 0, true, 1, 2},
      {"UnpluggedWhileIdle", R"({"device": {"unplugged_at_ms": 2000}})", true, 3000,
       "Connect the device to update its firmware.", false, 0, false, 1, 1},
      {"PluggedInInBootloaderMode", R"({"device": {"mode": "boot", "plugged_at_ms": 1000}})", true,
       2000, "The device is in its bootloader: an earlier update did not finish.", true, 0, true, 1,
       2},
      {"ASecondDeviceArrivingDisablesTheButton",
       R"({"interfaces": [{"target": true}, {"vendor": "0x1209", "product": "0x0001",
           "report_length": 41, "plugged_at_ms": 1000}], "device": {}})",
       true, 2000, "2 devices of this kind are connected.", false, 0, false, 1, 2},
      {"FourInterfacesAtOnceCostOneSearch",
       R"({"interfaces": [{"target": true},
           {"vendor": "0x1209", "product": "0x0001", "physical": "target"},
           {"vendor": "0x046D", "product": "0xC52B", "physical": "target"},
           {"vendor": "0x046D", "product": "0xC52C", "physical": "target"}],
          "device": {"plugged_at_ms": 1000}})",
       true, 2000, "Ready to update.", true, 0, true, 4, 2},
      {"AMinuteIdleWithNothingPlugged", R"({"device": {"present": false}})", true, 60000,
       "Connect the device to update its firmware.", false, 0, false, 0, 0},
      {"HundredComingsAndGoings", hundred.c_str(), true, 101000,
       "Connect the device to update its firmware.", false, 0, false, 200, 200 + 100},
      {"TheImageCopiedInEnablesTheButton",
       R"({"program_folder": [{"at_ms": 3000, "copy": "staged.bin"}]})", false, 4000,
       "Ready to update.", true, 0, true, 0, 0},
  };
  return cases;
}

// Checks one run against its case: the status line and the button when the click came, the
// exit status, what the device took, the notifications taken and the walks they cost, every
// walk after a notification, and every handle opened closed again. Empty when all hold.
inline std::string CheckFollowRun(const FollowCase& c, const std::vector<nlohmann::json>& trace,
                                  int exitCode, std::size_t flashedBytes, std::size_t records) {
  std::string wrong;
  if (exitCode != c.exitCode) wrong += "exit status " + std::to_string(exitCode) + "\n";
  // The click begins with the button disabled, then the power and the image are asked; a
  // click that the button did not take leaves the window to its close: the idle window is the
  // trace before either.
  std::size_t click = trace.size();
  for (std::size_t i = 0; i < trace.size(); ++i) {
    const std::string ev = trace[i].value("ev", ""), op = trace[i].value("op", "");
    if (ev == "image" || ev == "power") {
      for (click = i; click > 0 && trace[click].value("op", "") != "enabled";) --click;
      break;
    }
    if (op == "unload" || op == "terminate") {
      click = i;
      break;
    }
  }
  std::string status;
  bool enabled = true, loaded = false, changed = false;
  int changes = 0, walks = 0, calls = 0, sends = 0;
  std::map<std::int64_t, int> open;
  for (std::size_t i = 0; i < trace.size(); ++i) {
    const nlohmann::json& l = trace[i];
    const std::string ev = l.value("ev", ""), op = l.value("op", ""), fn = l.value("fn", "");
    if (i < click && op == "status") {
      status = l.value("text", "");
      loaded = true;
    }
    if (i < click && op == "enabled") enabled = l.value("value", true);
    if (i < click && op == "device_change") {
      ++changes;
      changed = true;
    }
    if (i < click && loaded && ev == "call") ++calls;
    if (i < click && loaded && fn == "SetupDiGetClassDevsA") {
      ++walks;
      if (!changed)
        wrong += "a walk with no notification before it: line " + std::to_string(i) + "\n";
    }
    if (fn == "HidD_SetFeature") ++sends;
    if (fn == "CreateFileA" && l.value("result", -1) != -1) ++open[l.value("result", -1)];
    if (fn == "CloseHandle" && l.value("result", 0) != 0) --open[l.value("handle", 0)];
  }
  if (status.rfind(c.status, 0) != 0) wrong += "status line: " + status + "\n";
  if (enabled != c.enabled)
    wrong += std::string("button ") + (enabled ? "enabled" : "disabled") + "\n";
  if (changes != c.deviceChanges) wrong += std::to_string(changes) + " device_change lines\n";
  if (walks != c.searchesWhileIdle) wrong += std::to_string(walks) + " walks while idle\n";
  // Nothing told, nothing asked: an idle window makes no platform call.
  if (c.deviceChanges == 0 && calls != 0) wrong += std::to_string(calls) + " calls while idle\n";
  if (c.updated ? flashedBytes != records * 40 : flashedBytes != 0 || sends != 0) {
    wrong += "flashed " + std::to_string(flashedBytes) + " bytes, " + std::to_string(sends) +
             " reports sent\n";
  }
  for (const auto& [handle, count] : open) {
    if (count != 0) wrong += "handle " + std::to_string(handle) + " left open\n";
  }
  return wrong;
}

// Runs `c` through `run` with an image of 10 records, in the folder at the load or staged for
// the scenario to copy in; "" when the run went as the case says, else what went otherwise.
inline std::string RunFollowCase(const FollowCase& c, const Runner& run) {
  const ScratchFolder folder;
  std::string image(10 * 40, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 3);
  folder.Write(c.imageAtLoad ? "Varnholt.bin" : "staged.bin", image);
  std::vector<std::string> args = FollowArguments(c);
  args.insert(args.end(),
              {folder.Write("scenario.json", c.scenario), "--program-dir", folder.Path()});
  const RunnerRun r = RunRunner(run, args, folder);
  std::size_t flashed = 0;
  for (const nlohmann::json& line : r.lines) {
    if (line.value("ev", "") == "device" && line.value("op", "") == "flash") {
      flashed = line.value("bytes", std::size_t{0});
    }
  }
  return CheckFollowRun(c, r.lines, r.exitCode, flashed, 10);
}

}  // namespace dalvorn::testing

#include "right_device_cases.h"

#include <map>

#include "device/device_codes.h"
#include "emulated_platform.h"

namespace dalvorn::testing {
namespace {

// Virtual time from the last report sent to the first message box; -1 without either.
std::int64_t BoxAfterLastReportMs(const std::vector<nlohmann::json>& trace) {
  std::int64_t report = -1;
  for (const nlohmann::json& line : trace) {
    const std::int64_t t = line.value("t", std::int64_t{0});
    if (line.value("ev", "") == "call" && line.value("fn", "") == "HidD_SetFeature") report = t;
    if (line.value("op", "") == "message_box") return report < 0 ? -1 : t - report;
  }
  return -1;
}

}  // namespace

std::string ReportsOutsideTheBootloader(const std::vector<nlohmann::json>& trace) {
  using emulator::DeviceMode;
  using emulator::EmulatedPlatform;
  std::map<std::int64_t, std::uint16_t> product;  // handle -> product ID of its attributes
  std::map<std::int64_t, std::string> paths;      // handle -> path opened
  std::string wrong;
  for (const nlohmann::json& line : trace) {
    if (line.value("ev", "") != "call") continue;
    const std::string fn = line.value("fn", "");
    const auto handle = line.value("handle", std::int64_t{0});
    if (fn == "HidD_GetAttributes" && line.value("result", 0) != 0) {
      product[handle] = line.value("product", std::uint16_t{0});
    }
    if (fn == "CreateFileA" && line["path"].is_string()) {
      paths[line.value("result", std::int64_t{-1})] = line["path"].get<std::string>();
    }
    if (fn != "HidD_SetFeature" && fn != "HidD_GetFeature") continue;
    if (paths[handle] != EmulatedPlatform::DevicePath(DeviceMode::App) &&
        paths[handle] != EmulatedPlatform::DevicePath(DeviceMode::Boot)) {
      wrong += "not to the device: " + line.dump() + "\n";
      continue;
    }
    const std::string data = line.value("data", "");
    if (fn == "HidD_SetFeature" && data.rfind("00b0071d", 0) == 0) continue;
    const auto it = product.find(handle);
    if (it == product.end() || it->second != BootProductID) wrong += line.dump() + "\n";
  }
  return wrong;
}

std::string CheckRightDeviceRun(const RightDeviceCase& c, const std::vector<nlohmann::json>& trace,
                                int exitCode, std::size_t flashedBytes, std::size_t records) {
  std::string wrong;
  if (exitCode != c.exitCode) wrong += "exit status " + std::to_string(exitCode) + "\n";
  const std::size_t blocks = c.blocksFlashed < 0 ? records : std::size_t(c.blocksFlashed);
  if (flashedBytes != blocks * 40) wrong += "flashed " + std::to_string(flashedBytes) + " bytes\n";
  std::vector<std::string> boxes;
  for (const nlohmann::json& line : trace) {
    if (line.value("op", "") == "message_box") boxes.push_back(line.value("text", ""));
  }
  if (c.message == nullptr ? !boxes.empty()
                           : boxes.size() != 1 || boxes[0].find(c.message) == std::string::npos) {
    wrong += "message boxes: " + nlohmann::json(boxes).dump() + "\n";
  }
  if (c.boxAfterMs > 0) {
    const std::int64_t after = BoxAfterLastReportMs(trace);
    if (after < c.boxAfterMs || after >= c.boxBeforeMs) {
      wrong += "box " + std::to_string(after) + " ms after the last report\n";
    }
  }
  if (c.exitCode == 2) {
    for (const nlohmann::json& line : trace) {
      const std::string fn = line.value("fn", "");
      if (fn == "HidD_SetFeature" || fn == "HidD_GetFeature")
        wrong += "sent: " + line.dump() + "\n";
    }
  }
  return wrong + ReportsOutsideTheBootloader(trace);
}

std::string RunRightDeviceCase(const RightDeviceCase& c, const Runner& run) {
  const ScratchFolder folder;
  std::string image(10 * 40, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 3);
  folder.Write("Varnholt.bin", image);
  std::vector<std::string> args = IdleArguments(c);
  args.insert(args.end(), {folder.Write("scenario.json", c.scenario), "--click", "--program-dir",
                           folder.Path()});
  const RunnerRun r = RunRunner(run, args, folder);
  std::size_t flashed = 0;
  std::string wrong = "no flash line\n";
  for (const nlohmann::json& line : r.lines) {
    if (line.value("ev", "") != "device" || line.value("op", "") != "flash") continue;
    flashed = line.value("bytes", std::size_t{0});
    wrong.clear();
  }
  return wrong + CheckRightDeviceRun(c, r.lines, r.exitCode, flashed, 10);
}

}  // namespace dalvorn::testing

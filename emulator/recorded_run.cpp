#include "emulator/recorded_run.h"

#include <algorithm>

#include "device/device_codes.h"
#include "device/find_the_hid.h"

namespace dalvorn::emulator {
namespace {

bool Starts(const std::vector<std::uint8_t>& data, const auto& code) {
  return data.size() > code.size() && std::equal(code.begin(), code.end(), data.begin() + 1);
}

bool OfTheKind(const TraceLine& attributes) {
  return IsDeviceIdentity(static_cast<std::uint16_t>(attributes.value("vendor", 0u)),
                          static_cast<std::uint16_t>(attributes.value("product", 0u)));
}

// Interfaces of the kind that are not the device found at load: the count before the update
// walks every interface, so any other path of the kind it sees beside the device's is another
// interface, of the same physical device ("target") or of another one (its own name, or none
// when the trace does not tell).
std::map<std::string, std::optional<std::string>> OtherInterfacesOfTheKind(
    const std::vector<TraceLine>& trace) {
  std::map<std::int64_t, std::string> files;
  std::map<std::string, std::string> physical;
  std::vector<std::set<std::string>> walks;
  std::string loadPath, current;
  for (const TraceLine& line : trace) {
    if (line.value("ev", "") != "call") continue;
    const std::string fn = line.value("fn", "");
    if (fn == "SetupDiGetClassDevsA") {
      walks.emplace_back();
    } else if (fn == "CreateFileA" && line.contains("path") && line["path"].is_string() &&
               !line.value("overlapped", false)) {
      current = line["path"].get<std::string>();
      if (line.value("result", std::int64_t{-1}) != -1) files[line["result"]] = current;
    } else if (fn == "HidD_GetAttributes" && line.value("result", 0) != 0 && !walks.empty() &&
               OfTheKind(line)) {
      const auto f = files.find(line.value("handle", std::int64_t{0}));
      const std::string path = f != files.end() ? f->second : current;
      if (loadPath.empty() && walks.size() == 1) loadPath = path;
      walks.back().insert(path);
    } else if (fn == "SetupDiGetDevicePropertyW" && line.value("result", 0) != 0 &&
               line.contains("physical") && line["physical"].is_string()) {
      physical[current] = line["physical"].get<std::string>();
    }
  }
  std::map<std::string, std::optional<std::string>> others;
  const auto targetPhysical = physical.find(loadPath);
  for (const auto& walk : walks) {
    if (walk.count(loadPath) == 0) continue;
    for (const std::string& path : walk) {
      if (path == loadPath) continue;
      const auto p = physical.find(path);
      std::optional<std::string> name;
      if (p != physical.end()) {
        const bool sameDevice =
            targetPhysical != physical.end() && p->second == targetPhysical->second;
        // A name that happens to be the target's own keyword must not make it one.
        name = sameDevice              ? std::string("target")
               : p->second == "target" ? "another " + p->second
                                       : p->second;
      }
      others[path] = name;
    }
  }
  return others;
}

}  // namespace

std::vector<std::uint8_t> BytesFromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

RecordedRun::RecordedRun(const std::vector<TraceLine>& trace)
    : others(OtherInterfacesOfTheKind(trace)) {}

const std::map<std::string, RecordedRun::Handler>& RecordedRun::Handlers() {
  static const std::map<std::string, Handler> handlers = {
      {"Sleep", &RecordedRun::OnSleep},
      {"SetupDiGetClassDevsA", &RecordedRun::OnClassDevs},
      {"SetupDiGetDeviceInterfaceDetailA", &RecordedRun::OnInterfaceDetail},
      {"CreateFileA", &RecordedRun::OnCreateFile},
      {"HidD_GetAttributes", &RecordedRun::OnAttributes},
      {"HidD_GetPreparsedData", &RecordedRun::OnPreparsedData},
      {"HidP_GetCaps", &RecordedRun::OnCaps},
      {"HidD_GetManufacturerString", &RecordedRun::OnString},
      {"HidD_GetProductString", &RecordedRun::OnString},
      {"HidD_GetSerialNumberString", &RecordedRun::OnString},
      {"HidD_SetFeature", &RecordedRun::OnSetFeature},
      {"HidD_GetFeature", &RecordedRun::OnGetFeature},
      {"CloseHandle", &RecordedRun::OnCloseHandle},
  };
  return handlers;
}

void RecordedRun::Line(const TraceLine& line) {
  const std::string ev = line.value("ev", "");
  // The emulated device says so when it is unplugged during the send of the block refused.
  if (ev == "device" && line.value("op", "") == "left" && lineAfterRefusal_) unplugged = true;
  if (ev != "call") return;
  lineAfterRefusal_ = false;
  const auto handler = Handlers().find(line.value("fn", ""));
  if (handler == Handlers().end()) return;
  const std::int64_t result = line.contains("result") && line["result"].is_number_integer()
                                  ? line["result"].get<std::int64_t>()
                                  : 0;
  (this->*handler->second)(line, result, line.value("handle", std::int64_t{0}));
}

std::optional<bool> RecordedRun::DeviceMode(std::int64_t handle) {
  const auto f = files_.find(handle);
  if (f == files_.end()) return std::nullopt;
  const RecordedPath& p = paths[f->second];
  if (!p.identified) return std::nullopt;
  return p.product == AppProductID;
}

RecordedIdentity& RecordedRun::IdentityOf(bool isApp) {
  return !isApp ? boot : (blocksTaken_ > 0 && startApp.value_or(false)) ? appAfter : app;
}

void RecordedRun::OnSleep(const TraceLine& line, std::int64_t, std::int64_t) {
  now_ += line.value("ms", std::int64_t{0});
}

void RecordedRun::OnClassDevs(const TraceLine&, std::int64_t, std::int64_t) {
  searches.push_back(RecordedSearch{now_, std::nullopt});
  searchKeys_.clear();
}

void RecordedRun::OnInterfaceDetail(const TraceLine& line, std::int64_t, std::int64_t) {
  // Only the sizing call tells a vanished interface: it needs less than the size field.
  if (line.value("size", 0) != 0 || line.value("needed", 0) >= 5) return;
  if (searches.size() != 1) return;
  const std::string key = "vanished#" + std::to_string(++vanished_);
  order.push_back(key);
  searchKeys_.push_back(key);
}

void RecordedRun::OnCreateFile(const TraceLine& line, std::int64_t result, std::int64_t) {
  if (!line.contains("path") || !line["path"].is_string()) return;
  const std::string path = line["path"].get<std::string>();
  RecordedPath& p = paths[path];
  const bool overlapped = line.value("overlapped", false);
  if (result != -1) {
    p.opened = true;
    files_[result] = path;
    // The second open of a device already known by its attributes: counted here; the first is
    // counted once its attributes name the device.
    if (overlapped && p.identified && p.product == BootProductID) ++openToBoot_;
  } else if (overlapped && p.identified) {
    overlappedFails = true;
  }
  if (!overlapped) pendingPath_ = path;
}

void RecordedRun::OnAttributes(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  const auto f = files_.find(handle);
  const std::string path = f != files_.end() ? f->second : pendingPath_;
  RecordedPath& p = paths[path];
  const bool device = result != 0 && others.count(path) == 0 && OfTheKind(line);
  if (result != 0) {
    p.vendor = line.value("vendor", 0u);
    p.product = line.value("product", 0u);
    p.version = line.value("version", 0u);
    p.identified = device;
    if (device && p.product == BootProductID) ++openToBoot_;
  }
  if (!device) {
    PlacePlainInterface(path);
    return;
  }
  const bool isApp = p.product == AppProductID;
  if (!startApp && searches.size() == 1) {
    startApp = isApp;
    devicePosition = searchKeys_.size();
  }
  if (!searches.empty()) searches.back().foundApp = isApp;
  IdentityOf(isApp).version = p.version;
}

void RecordedRun::PlacePlainInterface(const std::string& path) {
  if (std::find(searchKeys_.begin(), searchKeys_.end(), path) != searchKeys_.end()) return;
  if (std::find(order.begin(), order.end(), path) == order.end()) {
    auto at = order.begin();
    if (!searchKeys_.empty()) {
      at = std::find(order.begin(), order.end(), searchKeys_.back());
      if (at != order.end()) ++at;
    }
    if (devicePosition && static_cast<std::size_t>(at - order.begin()) < *devicePosition) {
      ++*devicePosition;
    }
    order.insert(at, path);
  }
  searchKeys_.push_back(path);
}

void RecordedRun::OnPreparsedData(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  if (!DeviceMode(handle)) return;
  if (result == 0) capsFail = true;
  prepared_[line.value("preparsed", std::int64_t{0})] = handle;
}

void RecordedRun::OnCaps(const TraceLine& line, std::int64_t result, std::int64_t) {
  if (result == 0) return;
  const auto p = prepared_.find(line.value("preparsed", std::int64_t{0}));
  if (p == prepared_.end()) return;
  if (const auto mode = DeviceMode(p->second)) {
    IdentityOf(*mode).reportLength = line.value("feature_report_length", 0u);
  }
}

void RecordedRun::OnString(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  const auto mode = DeviceMode(handle);
  if (!mode) return;
  const std::string fn = line.value("fn", "");
  const std::string key = fn == "HidD_GetManufacturerString" ? "manufacturer"
                          : fn == "HidD_GetProductString"    ? "product"
                                                             : "serial";
  RecordedIdentity& id = IdentityOf(*mode);
  const std::string data = line.value("data", "");
  if (result == 0) {
    id.failedStrings.insert(key);
  } else if (data.size() > id.strings[key].size()) {
    id.strings[key] = data;
  }
}

void RecordedRun::OnSetFeature(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  const auto mode = DeviceMode(handle);
  if (!mode) return;
  const std::vector<std::uint8_t> data = BytesFromHex(line.value("data", ""));
  if (*mode) {
    // A device that resets at once may fail the send of the message it took.
    if (!entryAt && Starts(data, BootEntryCode)) {
      entryAt = now_;
      entryFails = result == 0;
    }
    return;
  }
  if (Starts(data, UnlockCode)) return;
  ++blocks_;
  if (result != 0) {
    ++blocksTaken_;
  } else if (refused == 0) {
    refused = blocks_;
    lineAfterRefusal_ = true;
    // A real system says the device has gone: ENODEV, or Windows' error 1167.
    const std::string why = line.value("os_error", "");
    unplugged = why.rfind("ENODEV", 0) == 0 || why.rfind("GetLastError 1167", 0) == 0;
  }
}

void RecordedRun::OnGetFeature(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  const auto mode = DeviceMode(handle);
  if (!mode || *mode) return;
  statusRead_ = true;
  if (!status) {
    status = BytesFromHex(line.value("data", ""));
    statusFails = result == 0;
  }
}

void RecordedRun::OnCloseHandle(const TraceLine&, std::int64_t result, std::int64_t handle) {
  if (result == 0) return;
  const auto mode = DeviceMode(handle);
  files_.erase(handle);
  if (mode && !*mode && --openToBoot_ == 0 && statusRead_ && !restartAt) restartAt = now_;
}

}  // namespace dalvorn::emulator

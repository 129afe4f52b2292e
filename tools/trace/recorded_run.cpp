#include "recorded_run.h"

#include <algorithm>
#include <utility>

#include "device/device_codes.h"
#include "device/find_the_hid.h"
#include "trace_check.h"

namespace dalvorn::emulator {
namespace {

bool Starts(const std::vector<std::uint8_t>& data, const auto& code) {
  return data.size() > code.size() && std::equal(code.begin(), code.end(), data.begin() + 1);
}

// The validated fields, read with a fallback for one that is absent or null.
std::int64_t Int(const TraceLine& line, const char* key, std::int64_t fallback = 0) {
  const auto it = line.find(key);
  return it != line.end() && it->is_number_integer() ? it->get<std::int64_t>() : fallback;
}

std::string Text(const TraceLine& line, const char* key) {
  const auto it = line.find(key);
  return it != line.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool Flag(const TraceLine& line, const char* key) {
  const auto it = line.find(key);
  return it != line.end() && it->is_boolean() && it->get<bool>();
}

bool OfTheKind(const TraceLine& attributes) {
  return IsDeviceIdentity(static_cast<std::uint16_t>(Int(attributes, "vendor")),
                          static_cast<std::uint16_t>(Int(attributes, "product")));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<std::uint8_t> BytesFromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
    if (high >= 0 && low >= 0) bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

void OtherInterfacesReader::Line(const TraceLine& line) {
  if (Text(line, "ev") != "call") return;
  const std::string fn = Text(line, "fn");
  const std::int64_t result = Int(line, "result");
  if (fn == "SetupDiGetClassDevsA") {
    EndWalk();
    walking_ = true;
    ++walks_;
  } else if (fn == "CreateFileA" && line.contains("path") && line["path"].is_string()) {
    // The load's search opens the interface it takes a second time, with the overlapped flag.
    if (Flag(line, "overlapped")) {
      if (loadPath_.empty() && walks_ == 1) loadPath_ = line["path"].get<std::string>();
      return;
    }
    current_ = line["path"].get<std::string>();
    if (result != -1) files_[result] = current_;
  } else if (fn == "CloseHandle" && result != 0) {
    files_.erase(Int(line, "handle"));
  } else if (fn == "HidD_GetAttributes" && result != 0 && walking_ && OfTheKind(line)) {
    const auto f = files_.find(Int(line, "handle"));
    walk_.insert(f != files_.end() ? f->second : current_);
  } else if (fn == "SetupDiGetDevicePropertyW") {
    if (result == 0) {
      physical_[current_] = std::nullopt;
    } else if (line.contains("physical") && line["physical"].is_string()) {
      physical_[current_] = line["physical"].get<std::string>();
    }
  }
}

void OtherInterfacesReader::EndWalk() {
  if (walk_.count(loadPath_) != 0) {
    for (const std::string& path : walk_) {
      if (path != loadPath_) others_.insert(path);
    }
  }
  walk_.clear();
}

OtherInterfaces OtherInterfacesReader::Result() {
  EndWalk();
  OtherInterfaces others;
  const auto target = physical_.find(loadPath_);
  const std::optional<std::string> targetPhysical =
      target != physical_.end() ? target->second : std::nullopt;
  for (const std::string& path : others_) {
    OtherInterface& other = others[path];
    const auto p = physical_.find(path);
    if (p == physical_.end()) continue;
    if (!p->second) {
      other.physicalQueryFailed = true;
      continue;
    }
    const std::string& name = *p->second;
    // A name that happens to be the target's own keyword must not make it one.
    other.physical = name == targetPhysical ? std::string("target")
                     : name == "target"     ? "another " + name
                                            : name;
  }
  return others;
}

RecordedRun::RecordedRun(OtherInterfaces otherInterfaces) : others(std::move(otherInterfaces)) {}

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
      {"HidD_FreePreparsedData", &RecordedRun::OnFreePreparsedData},
      {"CM_Get_DevNode_PropertyW", &RecordedRun::OnLocation},
  };
  return handlers;
}

void RecordedRun::Line(const TraceLine& line) {
  const std::string ev = Text(line, "ev");
  // The emulated device says so when it is unplugged during the send of the block refused.
  if (ev == "device" && Text(line, "op") == "left" && lineAfterRefusal_) unplugged = true;
  if (ev == "power") OnPower(line);
  if (ev != "call") return;
  lineAfterRefusal_ = false;
  const auto handler = Handlers().find(Text(line, "fn"));
  if (handler == Handlers().end()) return;
  (this->*handler->second)(line, Int(line, "result"), Int(line, "handle"));
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

void RecordedRun::OnPower(const TraceLine& line) {
  const std::string op = Text(line, "op");
  if (!power) power.emplace();
  if (op == "battery" && !batteryRead_) {
    batteryRead_ = true;
    power->onBattery = Flag(line, "on_battery");
    if (line.contains("percentage") && line["percentage"].is_number_integer()) {
      power->percentage = Int(line, "percentage");
    }
  } else if (op == "hold") {
    power->holdRefused = !Flag(line, "result");
  }
}

void RecordedRun::OnSleep(const TraceLine& line, std::int64_t, std::int64_t) {
  // A scenario counts the device's absences in milliseconds up to 2^32 - 1 (49 days): a run
  // longer than that cannot be replayed. Checked before the sum, which then never overflows.
  constexpr std::int64_t kMaxMs = 0xFFFFFFFF;
  const std::int64_t ms = Int(line, "ms");
  if (ms < 0 || ms > kMaxMs - now_) {
    throw TraceLineError("the pauses add up to more than 49 days, longer than a replay can run");
  }
  now_ += ms;
}

void RecordedRun::OnClassDevs(const TraceLine&, std::int64_t, std::int64_t) {
  searches.push_back(RecordedSearch{now_, std::nullopt});
  interfaces.StartSearch();
}

void RecordedRun::OnInterfaceDetail(const TraceLine& line, std::int64_t, std::int64_t) {
  // Only the sizing call tells a vanished interface: it needs less than the size field.
  if (Int(line, "size") != 0 || Int(line, "needed") >= 5) return;
  if (searches.size() != 1) return;
  interfaces.Meet("vanished#" + std::to_string(++vanished_));
}

void RecordedRun::OnCreateFile(const TraceLine& line, std::int64_t result, std::int64_t) {
  if (!line.contains("path") || !line["path"].is_string()) return;
  const std::string path = line["path"].get<std::string>();
  RecordedPath& p = paths[path];
  const bool overlapped = Flag(line, "overlapped");
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
    p.vendor = static_cast<unsigned>(Int(line, "vendor"));
    p.product = static_cast<unsigned>(Int(line, "product"));
    p.version = static_cast<unsigned>(Int(line, "version"));
    p.identified = device;
    if (device && p.product == BootProductID) ++openToBoot_;
  }
  if (!device) {
    interfaces.Meet(path);
    return;
  }
  const bool isApp = p.product == AppProductID;
  if (!startApp && searches.size() == 1) {
    startApp = isApp;
    interfaces.PlaceDevice();
  }
  if (!searches.empty()) searches.back().foundApp = isApp;
  IdentityOf(isApp).version = p.version;
}

void RecordedRun::OnPreparsedData(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  if (result == 0 && DeviceMode(handle)) capsFail = true;
  prepared_[Int(line, "preparsed")] = handle;
}

void RecordedRun::OnCaps(const TraceLine& line, std::int64_t result, std::int64_t) {
  if (result == 0) return;
  const auto p = prepared_.find(Int(line, "preparsed"));
  if (p == prepared_.end()) return;
  const auto length = static_cast<unsigned>(Int(line, "feature_report_length"));
  if (const auto mode = DeviceMode(p->second)) {
    IdentityOf(*mode).reportLength = length;
  } else if (const auto f = files_.find(p->second); f != files_.end()) {
    // The search reads the capabilities of every other interface of the kind it meets.
    paths[f->second].reportLength = length;
  }
}

void RecordedRun::OnLocation(const TraceLine&, std::int64_t result, std::int64_t) {
  // Asked of the interface a search takes: the device's, when that search found it.
  if (result == 0 && !searches.empty() && searches.back().foundApp) locationFails = true;
}

void RecordedRun::OnString(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  const auto mode = DeviceMode(handle);
  if (!mode) return;
  const std::string fn = Text(line, "fn");
  const std::string key = fn == "HidD_GetManufacturerString" ? "manufacturer"
                          : fn == "HidD_GetProductString"    ? "product"
                                                             : "serial";
  RecordedIdentity& id = IdentityOf(*mode);
  const std::string data = Text(line, "data");
  if (result == 0) {
    id.failedStrings.insert(key);
  } else if (data.size() > id.strings[key].size()) {
    id.strings[key] = data;
  }
}

void RecordedRun::OnSetFeature(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  const auto mode = DeviceMode(handle);
  if (!mode) return;
  const std::vector<std::uint8_t> data = BytesFromHex(Text(line, "data"));
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
    const std::string why = Text(line, "os_error");
    unplugged = why.rfind("ENODEV", 0) == 0 || why.rfind("GetLastError 1167", 0) == 0;
  }
}

void RecordedRun::OnGetFeature(const TraceLine& line, std::int64_t result, std::int64_t handle) {
  const auto mode = DeviceMode(handle);
  if (!mode || *mode) return;
  statusRead_ = true;
  if (!status) {
    status = BytesFromHex(Text(line, "data"));
    statusFails = result == 0;
  }
}

void RecordedRun::OnCloseHandle(const TraceLine&, std::int64_t result, std::int64_t handle) {
  if (result == 0) return;
  const auto mode = DeviceMode(handle);
  files_.erase(handle);
  if (mode && !*mode && --openToBoot_ == 0 && statusRead_ && !restartAt) restartAt = now_;
}

void RecordedRun::OnFreePreparsedData(const TraceLine& line, std::int64_t result, std::int64_t) {
  if (result != 0) prepared_.erase(Int(line, "preparsed"));
}

}  // namespace dalvorn::emulator

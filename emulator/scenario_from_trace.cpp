#include "emulator/scenario_from_trace.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "device/device_codes.h"
#include "device/find_the_hid.h"
#include "ui/device_info_display.h"

namespace dalvorn::emulator {
namespace {

using json = nlohmann::ordered_json;

// A device that never leaves, as far as a replay can tell.
constexpr std::int64_t kNeverMs = 1000000000;

std::vector<std::uint8_t> Bytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string Hex16(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
  return text;
}

// The bytes a string query gave as a scenario string: text when they are well-formed UTF-16
// ending in its zero unit (the emulator adds that unit back), raw bytes otherwise.
json ScenarioString(const std::string& hex) {
  const std::vector<std::uint8_t> b = Bytes(hex);
  std::string text;
  bool ok = b.size() >= 2 && b.size() % 2 == 0 && b[b.size() - 2] == 0 && b.back() == 0;
  for (std::size_t i = 0; ok && i + 2 < b.size(); i += 2) {
    const char32_t unit = b[i] | (b[i + 1] << 8);
    if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) {
      ok = false;
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
      const char32_t low = i + 4 < b.size() ? char32_t(b[i + 2] | (b[i + 3] << 8)) : 0;
      ok = low >= 0xDC00 && low <= 0xDFFF;
      if (ok) AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      i += 2;
    } else {
      AppendUtf8(text, unit);
    }
  }
  if (ok) return text;
  return json{{"utf16_hex", hex}};
}

// What the device showed in one mode; strings keyed "manufacturer", "product", "serial".
struct Identity {
  std::optional<unsigned> version;
  std::optional<unsigned> reportLength;
  std::map<std::string, std::string> strings;  // the longest bytes a query gave
  std::set<std::string> failedStrings;

  json ToJson() const {
    json out = json::object();
    if (version) out["version"] = Hex16(*version);
    if (reportLength) out["report_length"] = *reportLength;
    json s = json::object();
    for (const char* key : {"manufacturer", "product", "serial"}) {
      if (const auto it = strings.find(key); it != strings.end()) {
        s[key] = ScenarioString(it->second);
      } else if (failedStrings.count(key) != 0) {
        s[key] = nullptr;
      }
    }
    if (!s.empty()) out["strings"] = s;
    return out;
  }
};

// One search: when it started on the replay's clock and what it found of the device.
struct Search {
  std::int64_t at = 0;
  std::optional<bool> foundApp;  // nullopt: not found
};

// How the device left and came back after `trigger`, from the searches made after it.
json Reappearance(std::int64_t trigger, bool oldModeApp, const std::vector<Search>& searches,
                  std::int64_t until) {
  enum { Old, Away, Back } state = Old;
  std::int64_t leave = kNeverMs, back = 0;
  std::string as = "never";
  for (const Search& s : searches) {
    if (s.at < trigger || s.at >= until) continue;
    const std::int64_t d = s.at - trigger;
    if (state == Old) {
      if (s.foundApp && *s.foundApp == oldModeApp) continue;
      leave = d;
      state = s.foundApp ? Back : Away;
      if (state == Back) as = *s.foundApp ? "app" : "boot";
    } else if (state == Away && s.foundApp) {
      back = d - leave;
      as = *s.foundApp ? "app" : "boot";
      state = Back;
    }
  }
  return json{{"leave_after_ms", leave}, {"back_after_ms", back}, {"as", as}};
}

bool Starts(const std::vector<std::uint8_t>& data, const auto& code) {
  return data.size() > code.size() && std::equal(code.begin(), code.end(), data.begin() + 1);
}

// Interfaces of the kind that are not the device found at load: the count before the update
// walks every interface, so any other path of the kind it sees beside the device's is another
// interface, of the same physical device (`physical` "target") or of another one (its own
// name, or none when the trace does not tell).
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
               IsDeviceIdentity(static_cast<std::uint16_t>(line.value("vendor", 0u)),
                                static_cast<std::uint16_t>(line.value("product", 0u)))) {
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

std::vector<TraceLine> ReadTrace(std::istream& in) {
  std::vector<TraceLine> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty()) continue;
    TraceLine line = TraceLine::parse(text, nullptr, false);
    if (!line.is_object()) {
      throw TraceReadError("line " + std::to_string(number) + " is not a JSON object");
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

json ScenarioFromTrace(const std::vector<TraceLine>& trace) {
  struct PathInfo {
    unsigned vendor = 0, product = 0, version = 0;
    bool opened = false, identified = false;
  };
  const auto others = OtherInterfacesOfTheKind(trace);
  std::map<std::string, PathInfo> paths;
  std::map<std::int64_t, std::string> files;      // open handle -> path
  std::map<std::int64_t, std::int64_t> prepared;  // preparsed -> handle
  std::vector<std::string> order;                 // plain interfaces, as first seen
  std::optional<std::size_t> devicePosition;
  std::vector<Search> searches;
  std::vector<std::string> searchKeys;  // interfaces of the search under way
  std::string pendingPath;
  int vanished = 0;
  bool sizingVanished = false;

  Identity app, boot, appAfter;
  std::optional<bool> startApp;
  bool capsFail = false, overlappedFails = false, statusFails = false, statusRead = false,
       entryFails = false;
  std::optional<std::vector<std::uint8_t>> status;
  std::optional<std::int64_t> entryAt, restartAt;
  std::uint32_t blocks = 0, blocksTaken = 0, refused = 0;
  bool unplugged = false, lineAfterRefusal = false;
  int openToBoot = 0;
  std::int64_t now = 0;  // the replay's clock: the sum of the pauses so far

  const auto deviceMode = [&](std::int64_t handle) -> std::optional<bool> {
    const auto f = files.find(handle);
    if (f == files.end()) return std::nullopt;
    const PathInfo& p = paths[f->second];
    if (!p.identified) return std::nullopt;
    return p.product == AppProductID;
  };
  const auto identityOf = [&](bool isApp) -> Identity& {
    return !isApp ? boot : (blocksTaken > 0 && startApp.value_or(false)) ? appAfter : app;
  };

  for (const TraceLine& line : trace) {
    // The emulated device says so when it is unplugged during the send of the block refused.
    if (line.value("ev", "") == "device" && line.value("op", "") == "left" && lineAfterRefusal) {
      unplugged = true;
    }
    if (line.value("ev", "") != "call") continue;
    lineAfterRefusal = false;
    const std::string fn = line.value("fn", "");
    const auto result = line.contains("result") && line["result"].is_number_integer()
                            ? line["result"].get<std::int64_t>()
                            : 0;
    const std::int64_t handle = line.value("handle", std::int64_t{0});
    if (fn == "Sleep") {
      now += line.value("ms", std::int64_t{0});
    } else if (fn == "SetupDiGetClassDevsA") {
      searches.push_back(Search{now, std::nullopt});
      searchKeys.clear();
    } else if (fn == "SetupDiGetDeviceInterfaceDetailA") {
      if (line.value("size", 0) == 0) {
        sizingVanished = line.value("needed", 0) < 5;
        if (sizingVanished && searches.size() == 1) {
          const std::string key = "vanished#" + std::to_string(++vanished);
          order.push_back(key);
          searchKeys.push_back(key);
        }
      }
    } else if (fn == "CreateFileA" && line["path"].is_string()) {
      const std::string path = line["path"].get<std::string>();
      PathInfo& p = paths[path];
      const bool overlapped = line.value("overlapped", false);
      if (result != -1) {
        p.opened = true;
        files[result] = path;
        // The second open of a device already known by its attributes: counted here; the
        // first is counted once its attributes name the device.
        if (overlapped && p.identified && p.product == BootProductID) ++openToBoot;
      } else if (overlapped && p.identified) {
        overlappedFails = true;
      }
      if (!overlapped) pendingPath = path;
    } else if (fn == "HidD_GetAttributes") {
      const auto f = files.find(handle);
      const std::string path = f != files.end() ? f->second : pendingPath;
      PathInfo& p = paths[path];
      const bool device = result != 0 && others.count(path) == 0 &&
                          IsDeviceIdentity(static_cast<std::uint16_t>(line.value("vendor", 0u)),
                                           static_cast<std::uint16_t>(line.value("product", 0u)));
      if (result != 0) {
        p.vendor = line.value("vendor", 0u);
        p.product = line.value("product", 0u);
        p.version = line.value("version", 0u);
        p.identified = device;
        if (device && p.product == BootProductID) ++openToBoot;
      }
      if (device) {
        const bool isApp = p.product == AppProductID;
        if (!startApp && searches.size() == 1) {
          startApp = isApp;
          devicePosition = searchKeys.size();
        }
        if (!searches.empty()) searches.back().foundApp = isApp;
        identityOf(isApp).version = p.version;
      } else if (std::find(searchKeys.begin(), searchKeys.end(), path) == searchKeys.end()) {
        // A plain interface: placed after the one seen before it in this search.
        if (std::find(order.begin(), order.end(), path) == order.end()) {
          auto at = order.begin();
          if (!searchKeys.empty()) {
            at = std::find(order.begin(), order.end(), searchKeys.back());
            if (at != order.end()) ++at;
          }
          if (devicePosition && static_cast<std::size_t>(at - order.begin()) < *devicePosition) {
            ++*devicePosition;
          }
          order.insert(at, path);
        }
        searchKeys.push_back(path);
      }
    } else if (fn == "HidD_GetPreparsedData") {
      if (const auto mode = deviceMode(handle)) {
        if (result == 0) capsFail = true;
        prepared[line.value("preparsed", std::int64_t{0})] = handle;
      }
    } else if (fn == "HidP_GetCaps" && result != 0) {
      const auto p = prepared.find(line.value("preparsed", std::int64_t{0}));
      if (p != prepared.end()) {
        if (const auto mode = deviceMode(p->second)) {
          identityOf(*mode).reportLength = line.value("feature_report_length", 0u);
        }
      }
    } else if (fn == "HidD_GetManufacturerString" || fn == "HidD_GetProductString" ||
               fn == "HidD_GetSerialNumberString") {
      if (const auto mode = deviceMode(handle)) {
        const std::string key = fn == "HidD_GetManufacturerString" ? "manufacturer"
                                : fn == "HidD_GetProductString"    ? "product"
                                                                   : "serial";
        Identity& id = identityOf(*mode);
        const std::string data = line.value("data", "");
        if (result == 0) {
          id.failedStrings.insert(key);
        } else if (data.size() > id.strings[key].size()) {
          id.strings[key] = data;
        }
      }
    } else if (fn == "HidD_SetFeature") {
      const auto mode = deviceMode(handle);
      const std::vector<std::uint8_t> data = Bytes(line.value("data", ""));
      if (mode && *mode) {
        // A device that resets at once may fail the send of the message it took.
        if (!entryAt && Starts(data, BootEntryCode)) {
          entryAt = now;
          entryFails = result == 0;
        }
      } else if (mode && !Starts(data, UnlockCode)) {
        ++blocks;
        if (result != 0) {
          ++blocksTaken;
        } else if (refused == 0) {
          refused = blocks;
          lineAfterRefusal = true;
          // A real system says the device has gone: ENODEV, or Windows' error 1167.
          const std::string why = line.value("os_error", "");
          unplugged = why.rfind("ENODEV", 0) == 0 || why.rfind("GetLastError 1167", 0) == 0;
        }
      }
    } else if (fn == "HidD_GetFeature") {
      const auto mode = deviceMode(handle);
      if (mode && !*mode) {
        statusRead = true;
        if (!status) {
          status = Bytes(line.value("data", ""));
          statusFails = result == 0;
        }
      }
    } else if (fn == "CloseHandle" && result != 0) {
      const auto mode = deviceMode(handle);
      files.erase(handle);
      if (mode && !*mode && --openToBoot == 0 && statusRead && !restartAt) restartAt = now;
    }
  }

  json interfaces = json::array();
  for (std::size_t i = 0; i <= order.size(); ++i) {
    if (devicePosition && *devicePosition == i) interfaces.push_back(json{{"target", true}});
    if (i == order.size()) break;
    if (order[i].rfind("vanished#", 0) == 0) {
      interfaces.push_back(json{{"vanishes", true}});
      continue;
    }
    const PathInfo& p = paths[order[i]];
    json plain{
        {"vendor", Hex16(p.vendor)}, {"product", Hex16(p.product)}, {"version", Hex16(p.version)}};
    if (!p.opened) plain["openable"] = false;
    if (const auto other = others.find(order[i]); other != others.end() && other->second) {
      plain["physical"] = *other->second;
    }
    interfaces.push_back(plain);
  }

  json device = json::object();
  device["present"] = startApp.has_value();
  if (startApp) {
    device["mode"] = *startApp ? "app" : "boot";
    device["app"] = app.ToJson();
    device["boot"] = boot.ToJson();
    json bytes = json::array({0, 0});
    if (status && status->size() >= 3) bytes = json::array({(*status)[1], (*status)[2]});
    device["status"] = bytes;
    device["status_read_fails"] = statusFails;
    device[unplugged ? "unplug_at_block" : "refuse_block"] = refused;
    const std::int64_t end = std::numeric_limits<std::int64_t>::max();
    if (entryAt) {
      device["on_boot_entry"] = Reappearance(*entryAt, true, searches, restartAt.value_or(end));
    }
    if (restartAt) device["on_restart"] = Reappearance(*restartAt, false, searches, end);
    device["caps_fail"] = capsFail;
    device["overlapped_open_fails"] = overlappedFails;
    if (entryFails) device["boot_entry_fails"] = true;
    if (!appAfter.ToJson().empty()) device["app_after_update"] = appAfter.ToJson();
  }
  return json{{"interfaces", interfaces}, {"device", device}};
}

}  // namespace dalvorn::emulator

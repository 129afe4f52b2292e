#include "scenario_json.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "text/text_codec.h"

namespace dalvorn::emulator {
namespace {

using json = nlohmann::ordered_json;

// A device that never leaves, as far as a replay can tell.
constexpr std::int64_t kNeverMs = 1000000000;

std::string Hex16(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
  return text;
}

// The bytes a string query gave as a scenario string: text when they are well-formed UTF-16
// ending in its zero unit (the emulator adds that unit back), raw bytes otherwise.
json ScenarioString(const std::string& hex) {
  const std::vector<std::uint8_t> bytes = BytesFromHex(hex);
  const std::string text = Utf8FromUtf16Le(bytes.data(), bytes.size());
  if (Utf16LeWithTerminator(text) == bytes) return text;
  return json{{"utf16_hex", hex}};
}

json IdentityJson(const RecordedIdentity& identity) {
  json out = json::object();
  if (identity.version) out["version"] = Hex16(*identity.version);
  if (identity.reportLength) out["report_length"] = *identity.reportLength;
  json strings = json::object();
  for (const char* key : {"manufacturer", "product", "serial"}) {
    if (const auto it = identity.strings.find(key); it != identity.strings.end()) {
      strings[key] = ScenarioString(it->second);
    } else if (identity.failedStrings.count(key) != 0) {
      strings[key] = nullptr;
    }
  }
  if (!strings.empty()) out["strings"] = strings;
  return out;
}

// How the device left and came back after `trigger`, from the searches made after it.
json ReappearanceJson(std::int64_t trigger, bool oldModeApp,
                      const std::vector<RecordedSearch>& searches, std::int64_t until) {
  enum { Old, Away, Back } state = Old;
  std::int64_t leave = kNeverMs, back = 0;
  std::string as = "never";
  for (const RecordedSearch& s : searches) {
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

json InterfacesJson(const RecordedRun& run) {
  json interfaces = json::array();
  const std::optional<std::size_t> devicePosition = run.interfaces.DevicePosition();
  std::size_t i = 0;
  for (const std::string& path : run.interfaces.Keys()) {
    if (devicePosition == i++) interfaces.push_back(json{{"target", true}});
    if (path.rfind("vanished#", 0) == 0) {
      interfaces.push_back(json{{"vanishes", true}});
      continue;
    }
    const RecordedPath& p = run.paths.at(path);
    json plain{
        {"vendor", Hex16(p.vendor)}, {"product", Hex16(p.product)}, {"version", Hex16(p.version)}};
    if (!p.opened) plain["openable"] = false;
    if (p.reportLength != 0) plain["report_length"] = p.reportLength;
    // The physical device as the count of devices saw it: named, or null when the system could
    // not tell.
    const auto other = run.others.find(path);
    if (other != run.others.end() && other->second.physicalQueryFailed) {
      plain["physical"] = nullptr;
    } else if (other != run.others.end() && other->second.physical) {
      plain["physical"] = *other->second.physical;
    }
    interfaces.push_back(std::move(plain));
  }
  if (devicePosition == i) interfaces.push_back(json{{"target", true}});
  return interfaces;
}

json DeviceJson(const RecordedRun& run) {
  json device = json::object();
  device["present"] = run.startApp.has_value();
  if (!run.startApp) return device;
  device["mode"] = *run.startApp ? "app" : "boot";
  device["app"] = IdentityJson(run.app);
  device["boot"] = IdentityJson(run.boot);
  json bytes = json::array({0, 0});
  if (run.status && run.status->size() >= 3) {
    bytes = json::array({(*run.status)[1], (*run.status)[2]});
  }
  device["status"] = bytes;
  device["status_read_fails"] = run.statusFails;
  device[run.unplugged ? "unplug_at_block" : "refuse_block"] = run.refused;
  const std::int64_t end = std::numeric_limits<std::int64_t>::max();
  if (run.entryAt) {
    device["on_boot_entry"] =
        ReappearanceJson(*run.entryAt, true, run.searches, run.restartAt.value_or(end));
  }
  if (run.restartAt) {
    device["on_restart"] = ReappearanceJson(*run.restartAt, false, run.searches, end);
  }
  device["caps_fail"] = run.capsFail;
  device["overlapped_open_fails"] = run.overlappedFails;
  if (run.entryFails) device["boot_entry_fails"] = true;
  if (run.locationFails) device["location_fails"] = true;
  if (const json after = IdentityJson(run.appAfter); !after.empty()) {
    device["app_after_update"] = after;
  }
  return device;
}

}  // namespace

json ScenarioJson(const RecordedRun& run) {
  json scenario{{"interfaces", InterfacesJson(run)}, {"device", DeviceJson(run)}};
  // As the power service answered at the click, so that a refusal on a low battery replays as
  // one; a trace without it leaves the scenario's default (on the power supply).
  if (run.power) {
    scenario["power"] =
        json{{"on_battery", run.power->onBattery},
             {"percentage", run.power->percentage ? json(*run.power->percentage) : json(nullptr)},
             {"hold_refused", run.power->holdRefused}};
  }
  return scenario;
}

}  // namespace dalvorn::emulator

#include "scenario.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "runner_options.h"
#include "trace_input.h"
#include "update/firmware_image.h"

namespace dalvorn::emulator {
namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ScenarioError(where + ": " + what);
}

// A JSON number, or a string in decimal or with a 0x prefix; a whole number from 0 to `max`.
std::uint64_t ReadNumber(const json& value, const std::string& where, std::uint64_t max) {
  const std::string range = "from 0 to " + std::to_string(max);
  std::uint64_t number = 0;
  if (value.is_number_unsigned()) {
    number = value.get<std::uint64_t>();
  } else if (value.is_number_integer()) {
    // Only a negative value is stored signed; -0 is 0.
    if (value.get<std::int64_t>() < 0) Fail(where, "must not be negative");
  } else if (value.is_number_float()) {
    Fail(where, "must be a whole number " + range + ", written with no fraction or exponent");
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string digits = hex ? text.substr(2) : text;
    if (digits.empty()) Fail(where, "is not a number: \"" + text + "\"");
    for (const char c : digits) {
      const bool ok = hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                          : std::isdigit(static_cast<unsigned char>(c)) != 0;
      if (!ok) Fail(where, "is not a number: \"" + text + "\"");
    }
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    // 16 hexadecimal or 19 decimal digits always fit in 64 bits.
    if (digits.size() > (hex ? 16u : 19u)) Fail(where, "is larger than " + std::to_string(max));
    number = std::stoull(digits, nullptr, hex ? 16 : 10);
  } else {
    Fail(where, "must be a number " + range + " or a string like \"0x1209\"");
  }
  if (number > max) Fail(where, "is larger than " + std::to_string(max));
  return number;
}

std::uint16_t ReadU16(const json& value, const std::string& where) {
  return static_cast<std::uint16_t>(ReadNumber(value, where, 0xFFFF));
}

bool ReadBool(const json& value, const std::string& where) {
  if (!value.is_boolean()) Fail(where, "must be true or false");
  return value.get<bool>();
}

const json* Member(const json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

const json& RequireObject(const json& value, const std::string& where) {
  if (!value.is_object()) Fail(where, "must be an object");
  return value;
}

std::uint8_t HexDigit(char c, const std::string& where) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  Fail(where, std::string("has a character that is not hexadecimal: '") + c + "'");
}

DeviceString ReadString(const json& value, const std::string& where) {
  if (value.is_null()) return std::nullopt;
  if (value.is_string()) return Utf16LeWithTerminator(value.get<std::string>());
  if (value.is_object()) {
    const json* hex = Member(value, "utf16_hex");
    if (hex == nullptr || !hex->is_string()) Fail(where, "needs \"utf16_hex\" as a string");
    const std::string text = hex->get<std::string>();
    if (text.size() % 2 != 0) Fail(where + ".utf16_hex", "has an odd number of digits");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
      bytes.push_back(
          static_cast<std::uint8_t>(HexDigit(text[i], where) << 4 | HexDigit(text[i + 1], where)));
    }
    return bytes;
  }
  Fail(where, "must be a string, null or {\"utf16_hex\": ...}");
}

// A `strings` object: every key it lacks makes that query fail.
DeviceStrings ReadStrings(const json& value, const std::string& where) {
  RequireObject(value, where);
  DeviceStrings strings;
  const auto read = [&](const char* key, DeviceString& into) {
    if (const json* v = Member(value, key)) into = ReadString(*v, where + "." + key);
  };
  read("manufacturer", strings.manufacturer);
  read("product", strings.product);
  read("serial", strings.serial);
  return strings;
}

ModeOverrides ReadModeOverrides(const json& value, const std::string& where) {
  RequireObject(value, where);
  ModeOverrides overrides;
  if (const json* v = Member(value, "version")) overrides.version = ReadU16(*v, where + ".version");
  if (const json* v = Member(value, "report_length")) {
    overrides.reportLength = ReadU16(*v, where + ".report_length");
  }
  if (const json* v = Member(value, "strings")) {
    overrides.strings = ReadStrings(*v, where + ".strings");
  }
  return overrides;
}

// `plugged_at_ms` and `unplugged_at_ms` of the object at `where`: times on the clock, the second
// after the first.
void ReadPlugTimes(const json& value, const std::string& where,
                   std::optional<std::int64_t>& plugged, std::optional<std::int64_t>& unplugged) {
  constexpr std::uint64_t maxMs = 0xFFFFFFFFu;
  if (const json* v = Member(value, "plugged_at_ms")) {
    plugged = static_cast<std::int64_t>(ReadNumber(*v, where + ".plugged_at_ms", maxMs));
  }
  if (const json* v = Member(value, "unplugged_at_ms")) {
    unplugged = static_cast<std::int64_t>(ReadNumber(*v, where + ".unplugged_at_ms", maxMs));
    if (plugged && *unplugged <= *plugged) {
      Fail(where + ".unplugged_at_ms", "must be later than plugged_at_ms");
    }
  }
}

Reappearance ReadReappearance(const json& value, const std::string& where, Reappearance r) {
  RequireObject(value, where);
  constexpr std::uint64_t maxMs = 0xFFFFFFFFu;
  if (const json* v = Member(value, "leave_after_ms")) {
    r.leaveAfterMs = static_cast<std::int64_t>(ReadNumber(*v, where + ".leave_after_ms", maxMs));
  }
  if (const json* v = Member(value, "back_after_ms")) {
    r.backAfterMs = static_cast<std::int64_t>(ReadNumber(*v, where + ".back_after_ms", maxMs));
  }
  if (const json* v = Member(value, "as")) {
    const std::string as = v->is_string() ? v->get<std::string>() : std::string();
    if (as == "app") {
      r.as = ComeBackAs::App;
    } else if (as == "boot") {
      r.as = ComeBackAs::Boot;
    } else if (as == "never") {
      r.as = ComeBackAs::Never;
    } else {
      Fail(where + ".as", "must be \"app\", \"boot\" or \"never\"");
    }
  }
  return r;
}

PlainInterface ReadPlainInterface(const json& value, const std::string& where) {
  PlainInterface plain;
  if (const json* v = Member(value, "vendor")) plain.vendor = ReadU16(*v, where + ".vendor");
  if (const json* v = Member(value, "product")) plain.product = ReadU16(*v, where + ".product");
  if (const json* v = Member(value, "version")) plain.version = ReadU16(*v, where + ".version");
  if (const json* v = Member(value, "strings")) plain.strings = ReadStrings(*v, where + ".strings");
  if (const json* v = Member(value, "report_length")) {
    plain.reportLength = ReadU16(*v, where + ".report_length");
  }
  if (const json* v = Member(value, "openable")) plain.openable = ReadBool(*v, where + ".openable");
  if (const json* v = Member(value, "vanishes")) plain.vanishes = ReadBool(*v, where + ".vanishes");
  if (const json* v = Member(value, "physical")) {
    if (v->is_null()) {
      plain.physicalQueryFails = true;
    } else if (!v->is_string() || v->get<std::string>().empty()) {
      Fail(where + ".physical", "must be a non-empty string, or null");
    } else {
      plain.physical = v->get<std::string>();
    }
  }
  if (const json* v = Member(value, "location_fails")) {
    plain.locationFails = ReadBool(*v, where + ".location_fails");
  }
  ReadPlugTimes(value, where, plain.pluggedAtMs, plain.unpluggedAtMs);
  return plain;
}

DeviceScenario ReadDevice(const json& value, const std::string& where) {
  RequireObject(value, where);
  DeviceScenario device;
  if (const json* v = Member(value, "present")) device.present = ReadBool(*v, where + ".present");
  if (const json* v = Member(value, "mode")) {
    const std::string mode = v->is_string() ? v->get<std::string>() : std::string();
    if (mode == "app") {
      device.mode = DeviceMode::App;
    } else if (mode == "boot") {
      device.mode = DeviceMode::Boot;
    } else {
      Fail(where + ".mode", "must be \"app\" or \"boot\"");
    }
  }
  if (const json* v = Member(value, "app")) {
    device.app = Overlay(device.app, ReadModeOverrides(*v, where + ".app"));
  }
  if (const json* v = Member(value, "boot")) {
    device.boot = Overlay(device.boot, ReadModeOverrides(*v, where + ".boot"));
  }
  if (const json* v = Member(value, "status")) {
    if (!v->is_array() || v->size() != 2) Fail(where + ".status", "must be an array of 2 bytes");
    for (std::size_t i = 0; i < 2; ++i) {
      device.status[i] = static_cast<std::uint8_t>(
          ReadNumber((*v)[i], where + ".status[" + std::to_string(i) + "]", 0xFF));
    }
  }
  if (const json* v = Member(value, "status_read_fails")) {
    device.statusReadFails = ReadBool(*v, where + ".status_read_fails");
  }
  if (const json* v = Member(value, "refuse_block")) {
    device.refuseBlock =
        static_cast<std::uint32_t>(ReadNumber(*v, where + ".refuse_block", 0xFFFFFFFFu));
  }
  if (const json* v = Member(value, "unplug_at_block")) {
    device.unplugAtBlock =
        static_cast<std::uint32_t>(ReadNumber(*v, where + ".unplug_at_block", 0xFFFFFFFFu));
  }
  if (const json* v = Member(value, "on_boot_entry")) {
    device.onBootEntry = ReadReappearance(*v, where + ".on_boot_entry", device.onBootEntry);
  }
  if (const json* v = Member(value, "on_restart")) {
    device.onRestart = ReadReappearance(*v, where + ".on_restart", device.onRestart);
  }
  if (const json* v = Member(value, "caps_fail")) {
    device.capsFail = ReadBool(*v, where + ".caps_fail");
  }
  if (const json* v = Member(value, "overlapped_open_fails")) {
    device.overlappedOpenFails = ReadBool(*v, where + ".overlapped_open_fails");
  }
  if (const json* v = Member(value, "boot_entry_fails")) {
    device.bootEntryFails = ReadBool(*v, where + ".boot_entry_fails");
  }
  if (const json* v = Member(value, "app_after_update")) {
    device.appAfterUpdate = ReadModeOverrides(*v, where + ".app_after_update");
  }
  if (const json* v = Member(value, "location_fails")) {
    device.locationFails = ReadBool(*v, where + ".location_fails");
  }
  ReadPlugTimes(value, where, device.pluggedAtMs, device.unpluggedAtMs);
  if (!device.present && (device.pluggedAtMs || device.unpluggedAtMs)) {
    Fail(where + (device.pluggedAtMs ? ".plugged_at_ms" : ".unplugged_at_ms"),
         "needs a device that is present (not \"present\": false)");
  }
  return device;
}

PowerScenario ReadPower(const json& value, const std::string& where) {
  RequireObject(value, where);
  PowerScenario power;
  if (const json* v = Member(value, "on_battery")) {
    power.onBattery = ReadBool(*v, where + ".on_battery");
  }
  if (const json* v = Member(value, "percentage")) {
    if (v->is_null()) {
      power.percentage.reset();
    } else {
      power.percentage = static_cast<std::uint8_t>(ReadNumber(*v, where + ".percentage", 100));
    }
  }
  if (const json* v = Member(value, "hold_refused")) {
    power.holdRefused = ReadBool(*v, where + ".hold_refused");
  }
  return power;
}

// A file name within the program folder: no folder part, never "." or "..".
std::string ReadBareName(const json& value, const std::string& where) {
  const std::string name = value.is_string() ? value.get<std::string>() : std::string();
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\\:") != std::string::npos) {
    Fail(where, "must be the name of a file in the program folder, with no folder part");
  }
  return name;
}

std::vector<FolderChange> ReadFolderChanges(const json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be an array");
  std::vector<FolderChange> changes;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string at = where + "[" + std::to_string(i) + "]";
    const json& entry = RequireObject(value[i], at);
    FolderChange change;
    const json* time = Member(entry, "at_ms");
    if (time == nullptr) Fail(at, "needs \"at_ms\"");
    change.atMs = static_cast<std::int64_t>(ReadNumber(*time, at + ".at_ms", 0xFFFFFFFFu));
    const json* copy = Member(entry, "copy");
    const json* remove = Member(entry, "remove");
    if ((copy == nullptr) == (remove == nullptr)) Fail(at, "needs either \"copy\" or \"remove\"");
    if (copy != nullptr) {
      change.copyFrom = ReadBareName(*copy, at + ".copy");
      const json* to = Member(entry, "to");
      change.name = to != nullptr ? ReadBareName(*to, at + ".to") : FirmwareImageName;
    } else {
      change.name = ReadBareName(*remove, at + ".remove");
    }
    changes.push_back(change);
  }
  std::stable_sort(changes.begin(), changes.end(),
                   [](const FolderChange& a, const FolderChange& b) { return a.atMs < b.atMs; });
  return changes;
}

ModeIdentity MakeIdentity(std::uint16_t version, const char* product) {
  ModeIdentity identity;
  identity.version = version;
  identity.reportLength = 41;
  identity.strings = {Utf16LeWithTerminator("Dalvorn"), Utf16LeWithTerminator(product),
                      Utf16LeWithTerminator("0001")};
  return identity;
}

}  // namespace

DeviceScenario::DeviceScenario()
    : app(MakeIdentity(0x0102, "Widget")), boot(MakeIdentity(0x0100, "Widget Boot")) {}

ModeIdentity Overlay(const ModeIdentity& base, const ModeOverrides& overrides) {
  ModeIdentity result = base;
  if (overrides.version) result.version = *overrides.version;
  if (overrides.reportLength) result.reportLength = *overrides.reportLength;
  if (overrides.strings) result.strings = *overrides.strings;
  return result;
}

Scenario ParseScenario(std::string_view jsonText) {
  json root;
  try {
    root = json::parse(jsonText);
  } catch (const json::out_of_range& e) {
    throw ScenarioError(std::string("has a number too large for any field (") + e.what() + ")");
  } catch (const json::exception& e) {
    // Syntax errors, but also text that is not UTF-8.
    throw ScenarioError(std::string("not valid JSON: ") + e.what());
  }
  RequireObject(root, "scenario");
  Scenario scenario;
  bool targetSeen = false;
  if (const json* list = Member(root, "interfaces")) {
    if (!list->is_array()) Fail("interfaces", "must be an array");
    for (std::size_t i = 0; i < list->size(); ++i) {
      const std::string where = "interfaces[" + std::to_string(i) + "]";
      const json& entry = RequireObject((*list)[i], where);
      const json* target = Member(entry, "target");
      if (target != nullptr && ReadBool(*target, where + ".target")) {
        if (targetSeen) Fail(where, "a second entry with \"target\": true");
        targetSeen = true;
        scenario.devicePosition = scenario.interfaces.size();
        continue;
      }
      scenario.interfaces.push_back(ReadPlainInterface(entry, where));
    }
  }
  if (!targetSeen) scenario.devicePosition = scenario.interfaces.size();
  if (const json* device = Member(root, "device")) scenario.device = ReadDevice(*device, "device");
  if (const json* power = Member(root, "power")) scenario.power = ReadPower(*power, "power");
  if (const json* folder = Member(root, "program_folder")) {
    scenario.folderChanges = ReadFolderChanges(*folder, "program_folder");
  }
  if (const json* v = Member(root, "reuse_handles")) {
    scenario.reuseHandles = ReadBool(*v, "reuse_handles");
  }
  return scenario;
}

// The largest scenario file read: a host of a few thousand interfaces takes well under a MiB.
constexpr std::uint64_t kMaxScenarioBytes = 64 * 1024 * 1024;

Scenario LoadScenarioFile(const std::string& path) {
  // Only a regular file or a pipe, opened without blocking and refused past the limit before a
  // byte of it is parsed.
  std::string text;
  try {
    text = ReadWholeInput(path, kMaxScenarioBytes);
  } catch (const TraceReadError& e) {
    throw ScenarioError(e.what());
  }
  try {
    return ParseScenario(text);
  } catch (const ScenarioError& e) {
    throw ScenarioError(path + ": " + e.what());
  }
}

Scenario BuiltInScenario() {
  Scenario scenario;
  ModeOverrides updated;
  updated.version = 0x0103;
  scenario.device.appAfterUpdate = updated;
  return scenario;
}

}  // namespace dalvorn::emulator

#include "trace_check.h"

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace dalvorn::emulator {
namespace {

// The kinds of value a field may hold.
enum class Kind {
  Int64,       // a whole number that fits 64 signed bits (handles, results, times)
  Int32,       // sizes and indexes the program passes as 32-bit integers
  U16,         // IDs, versions, report lengths
  U32,         // buffer lengths, pauses
  Bool,        //
  Text,        // a string of at most MaxTraceTextBytes
  TextOrNull,  //
  Hex,         // byte data: an even number of hexadecimal digits
  HexOrNull,   //
  Null,        // the result of an operation that has none
  Int32OrNull,
  Percentage,  // a battery's charge, 0 to 100
};

struct Field {
  const char* name;
  Kind kind;
  bool required;
};

struct CallFormat {
  std::vector<Field> arguments;
  Kind result;
};

[[noreturn]] void Fail(const std::string& what) {
  throw TraceLineError(what);
}

bool InRange(const TraceLine& value, std::int64_t low, std::int64_t high) {
  if (value.is_number_unsigned()) {
    return value.get<std::uint64_t>() <= static_cast<std::uint64_t>(high);
  }
  if (!value.is_number_integer()) return false;
  const std::int64_t n = value.get<std::int64_t>();
  return n >= low && n <= high;
}

bool IsHex(const std::string& text) {
  if (text.size() % 2 != 0 || text.size() > MaxTraceTextBytes) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

// What a field of `kind` must be, for the message; empty when `value` is one.
std::string Expected(const TraceLine& value, Kind kind) {
  constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
  switch (kind) {
    case Kind::Int64:
      return InRange(value, -kMax64 - 1, kMax64) ? "" : "a whole number of 64 bits";
    case Kind::Int32OrNull:
      if (value.is_null()) return "";
      [[fallthrough]];
    case Kind::Int32:
      return InRange(value, INT32_MIN, INT32_MAX) ? "" : "a whole number of 32 bits";
    case Kind::U16:
      return InRange(value, 0, 0xFFFF) ? "" : "a whole number from 0 to 65535";
    case Kind::U32:
      return InRange(value, 0, 0xFFFFFFFF) ? "" : "a whole number from 0 to 4294967295";
    case Kind::Bool:
      return value.is_boolean() ? "" : "true or false";
    case Kind::TextOrNull:
      if (value.is_null()) return "";
      [[fallthrough]];
    case Kind::Text:
      return value.is_string() && value.get_ref<const std::string&>().size() <= MaxTraceTextBytes
                 ? ""
                 : "a string of at most 65536 bytes";
    case Kind::HexOrNull:
      if (value.is_null()) return "";
      [[fallthrough]];
    case Kind::Hex:
      return value.is_string() && IsHex(value.get_ref<const std::string&>())
                 ? ""
                 : "hexadecimal bytes (an even number of digits)";
    case Kind::Null:
      return value.is_null() ? "" : "null";
    case Kind::Percentage:
      return InRange(value, 0, 100) ? "" : "a whole number from 0 to 100";
  }
  return "";
}

void CheckField(const TraceLine& line, const Field& field) {
  const auto it = line.find(field.name);
  if (it == line.end()) {
    if (field.required) Fail(std::string("field \"") + field.name + "\" is missing");
    return;
  }
  const std::string expected = Expected(*it, field.kind);
  if (!expected.empty()) {
    Fail(std::string("field \"") + field.name + "\" must be " + expected + ", not " +
         it->dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).substr(0, 80));
  }
}

// The arguments of each traced operation, as the trace format writes them.
const std::map<std::string, CallFormat>& CallFormats() {
  static const std::vector<Field> kHandle = {{"handle", Kind::Int64, true}};
  static const auto kFeature = [] {
    return CallFormat{{{"handle", Kind::Int64, true},
                       {"length", Kind::U32, true},
                       {"data", Kind::HexOrNull, true}},
                      Kind::Int64};
  };
  static const auto kString = [] {
    return CallFormat{
        {{"handle", Kind::Int64, true}, {"length", Kind::U32, true}, {"data", Kind::Hex, false}},
        Kind::Int64};
  };
  static const std::map<std::string, CallFormat> formats = {
      {"HidD_GetHidGuid", {{}, Kind::Null}},
      {"SetupDiGetClassDevsA", {{}, Kind::Int64}},
      {"SetupDiEnumDeviceInterfaces", {{{"index", Kind::Int32, true}}, Kind::Int64}},
      {"SetupDiGetDeviceInterfaceDetailA",
       {{{"size", Kind::Int32, true}, {"needed", Kind::Int32OrNull, true}}, Kind::Int64}},
      {"SetupDiDestroyDeviceInfoList", {{{"set", Kind::Int64, false}}, Kind::Int64}},
      {"SetupDiGetDevicePropertyW", {{{"physical", Kind::TextOrNull, false}}, Kind::Int64}},
      {"CM_Get_DevNode_PropertyW", {{{"location", Kind::TextOrNull, false}}, Kind::Int64}},
      {"CreateFileA",
       {{{"path", Kind::TextOrNull, true}, {"overlapped", Kind::Bool, true}}, Kind::Int64}},
      {"CloseHandle", {kHandle, Kind::Int64}},
      {"HidD_GetAttributes",
       {{{"handle", Kind::Int64, true},
         {"vendor", Kind::U16, true},
         {"product", Kind::U16, true},
         {"version", Kind::U16, true}},
        Kind::Int64}},
      {"HidD_GetPreparsedData",
       {{{"handle", Kind::Int64, true}, {"preparsed", Kind::Int64, false}}, Kind::Int64}},
      {"HidP_GetCaps",
       {{{"preparsed", Kind::Int64, false}, {"feature_report_length", Kind::U16, true}},
        Kind::Int64}},
      {"HidD_FreePreparsedData", {{{"preparsed", Kind::Int64, false}}, Kind::Int64}},
      {"HidD_SetFeature", kFeature()},
      {"HidD_GetFeature", kFeature()},
      {"HidD_GetManufacturerString", kString()},
      {"HidD_GetProductString", kString()},
      {"HidD_GetSerialNumberString", kString()},
      {"Sleep", {{{"ms", Kind::U32, true}}, Kind::Null}},
  };
  return formats;
}

}  // namespace

void CheckTraceLineShape(std::string_view text) {
  // Members counted by the commas at each open object's own level.
  std::vector<std::size_t> members;  // per open bracket; arrays count nothing
  std::vector<bool> isObject;
  bool inString = false, escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (isObject.size() == static_cast<std::size_t>(MaxTraceNesting)) {
        Fail("nests deeper than " + std::to_string(MaxTraceNesting) + " levels");
      }
      isObject.push_back(c == '{');
      members.push_back(1);
    } else if ((c == '}' || c == ']') && !isObject.empty()) {
      isObject.pop_back();
      members.pop_back();
    } else if (c == ',' && !isObject.empty() && isObject.back() &&
               ++members.back() > MaxTraceObjectMembers) {
      Fail("has an object of more than " + std::to_string(MaxTraceObjectMembers) + " members");
    }
  }
}

void CheckTraceFields(const TraceLine& line) {
  CheckField(line, {"ev", Kind::Text, true});
  CheckField(line, {"t", Kind::Int64, false});
  const std::string& ev = line["ev"].get_ref<const std::string&>();
  if (ev == "exit") {
    CheckField(line, {"code", Kind::Int32, true});
  } else if (ev == "window" || ev == "image" || ev == "power" || ev == "device") {
    CheckField(line, {"op", Kind::Text, true});
  }
  if (ev == "power") {
    // What a replay takes of the power service: the battery and the hold's result.
    const std::string& op = line["op"].get_ref<const std::string&>();
    if (op == "battery") {
      CheckField(line, {"known", Kind::Bool, false});
      CheckField(line, {"on_battery", Kind::Bool, false});
      CheckField(line, {"percentage", Kind::Percentage, false});
    } else if (op == "hold") {
      CheckField(line, {"result", Kind::Bool, true});
    }
  }
  if (ev != "call") return;
  CheckField(line, {"fn", Kind::Text, true});
  CheckField(line, {"os_error", Kind::Text, false});
  const auto format = CallFormats().find(line["fn"].get_ref<const std::string&>());
  if (format == CallFormats().end()) return;  // an operation this reader does not know
  for (const Field& field : format->second.arguments) CheckField(line, field);
  CheckField(line, {"result", format->second.result, true});
}

}  // namespace dalvorn::emulator

#include "emulator/trace_normalise.h"

#include <cstdint>
#include <map>
#include <sstream>

namespace dalvorn::emulator {
namespace {

// Handle values in the order they were handed out, one count per kind of object.
class HandleNames {
 public:
  explicit HandleNames(std::string kind) : kind_(std::move(kind)) {}

  TraceLine Created(const TraceLine& value) {
    if (!IsHandle(value)) return value;
    const std::string name = kind_ + "#" + std::to_string(++count_);
    names_[value.get<std::int64_t>()] = name;
    return name;
  }
  TraceLine Used(const TraceLine& value) const {
    if (!IsHandle(value)) return value;
    const auto it = names_.find(value.get<std::int64_t>());
    return it != names_.end() ? TraceLine(it->second) : TraceLine(kind_ + "#unknown");
  }

 private:
  static bool IsHandle(const TraceLine& value) {
    return value.is_number_integer() && value.get<std::int64_t>() != 0 &&
           value.get<std::int64_t>() != -1;
  }

  std::string kind_;
  std::map<std::int64_t, std::string> names_;
  int count_ = 0;
};

}  // namespace

// Physical devices named in the order they were first seen: which interfaces share a device
// is kept, the system's names for them (sysfs paths, container IDs) are not.
class PhysicalNames {
 public:
  TraceLine Name(const TraceLine& value) {
    if (!value.is_string()) return value;
    const auto [it, added] =
        names_.emplace(value.get<std::string>(), "physical#" + std::to_string(names_.size() + 1));
    return it->second;
  }

 private:
  std::map<std::string, std::string> names_;
};

std::vector<TraceLine> NormaliseTrace(const std::vector<TraceLine>& trace) {
  HandleNames files("file"), sets("set"), preparsed("preparsed");
  PhysicalNames physical;
  std::vector<TraceLine> out;
  out.reserve(trace.size());
  for (const TraceLine& in : trace) {
    if (in.value("ev", "") == "device") continue;
    TraceLine line = in;
    line.erase("t");
    line.erase("os_error");
    if (line.value("ev", "") != "call") {
      out.push_back(std::move(line));
      continue;
    }
    const std::string fn = line.value("fn", "");
    if (line.contains("handle")) line["handle"] = files.Used(line["handle"]);
    if (line.contains("set")) line["set"] = sets.Used(line["set"]);
    if (fn == "SetupDiGetClassDevsA") {
      line["result"] = sets.Created(line["result"]);
    } else if (fn == "CreateFileA") {
      line.erase("path");
      line["result"] = files.Created(line["result"]);
    } else if (fn == "HidD_GetPreparsedData") {
      line["preparsed"] = preparsed.Created(line["preparsed"]);
    } else if (line.contains("preparsed")) {
      line["preparsed"] = preparsed.Used(line["preparsed"]);
    } else if (fn == "SetupDiGetDeviceInterfaceDetailA") {
      for (const char* key : {"size", "needed"}) {
        const TraceLine& value = line[key];
        if (value.is_number_integer() && value.get<std::int64_t>() >= 5) line[key] = "path";
      }
    } else if (fn == "Sleep") {
      line.erase("ms");
    } else if (fn == "SetupDiGetDevicePropertyW") {
      line["physical"] = physical.Name(line["physical"]);
    }
    out.push_back(std::move(line));
  }
  return out;
}

std::string CompareNormalised(const std::vector<TraceLine>& recorded,
                              const std::vector<TraceLine>& replayed) {
  const std::size_t common = std::min(recorded.size(), replayed.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (recorded[i] != replayed[i]) {
      std::ostringstream report;
      report << "line " << i + 1
             << " of the normalised traces differs:\n  recorded: " << recorded[i].dump()
             << "\n  replayed: " << replayed[i].dump() << '\n';
      return report.str();
    }
  }
  if (recorded.size() == replayed.size()) return {};
  std::ostringstream report;
  report << "the recorded trace has " << recorded.size() << " normalised lines, the replayed "
         << replayed.size() << "; the first extra one: "
         << (recorded.size() > common ? recorded[common] : replayed[common]).dump() << '\n';
  return report.str();
}

}  // namespace dalvorn::emulator

#include "trace_normalise.h"

#include <sstream>

#include "trace_check.h"
#include "trace_input.h"

namespace dalvorn::emulator {
namespace {

// The names of physical devices kept at most: a host has a few dozen.
constexpr std::size_t kMaxPhysicalBytes = 4 * 1024 * 1024;

bool IsHandle(const TraceLine& value) {
  return value.is_number_integer() && value.get<std::int64_t>() != 0 &&
         value.get<std::int64_t>() != -1;
}

bool Succeeded(const TraceLine& line) {
  const auto result = line.find("result");
  return result != line.end() && result->is_number_integer() && result->get<std::int64_t>() != 0;
}

std::string Dump(const TraceLine& line) {
  return line.dump(-1, ' ', false, TraceLine::error_handler_t::replace);
}

// The next line of `reader` that normalising keeps, normalised; false at the end.
bool NextNormalised(TraceReader& reader, TraceNormaliser& normaliser, TraceLine& out) {
  for (TraceLine line; reader.Next(line);) {
    try {
      if (normaliser.Normalise(line, out)) return true;
    } catch (const TraceLineError& e) {
      reader.Fail(e.what());
    }
  }
  return false;
}

}  // namespace

TraceLine HandleNames::Created(const TraceLine& value) {
  if (!IsHandle(value)) return value;
  if (names_.size() >= MaxOpenHandles) {
    throw TraceLineError("more than " + std::to_string(MaxOpenHandles) + " " + kind_ +
                         " handles are open at once");
  }
  names_[value.get<std::int64_t>()] = ++count_;
  return kind_ + "#" + std::to_string(count_);
}

TraceLine HandleNames::Used(const TraceLine& value) const {
  if (!IsHandle(value)) return value;
  const auto it = names_.find(value.get<std::int64_t>());
  return kind_ + "#" + (it != names_.end() ? std::to_string(it->second) : "unknown");
}

void HandleNames::Released(const TraceLine& value) {
  if (IsHandle(value)) names_.erase(value.get<std::int64_t>());
}

bool TraceNormaliser::Normalise(const TraceLine& in, TraceLine& out) {
  const auto ev = in.find("ev");
  // What the emulated device says of itself, which a real machine never writes, and what the
  // power service answered and the desktop was told (taskbar, notification), which a trace
  // recorded without those services lacks where its replay has them.
  if (ev != in.end() &&
      (*ev == "device" || *ev == "power" || *ev == "taskbar" || *ev == "notify")) {
    return false;
  }
  out = in;
  out.erase("t");
  out.erase("os_error");
  if (ev != in.end() && *ev == "call") Call(out);
  return true;
}

void TraceNormaliser::Call(TraceLine& line) {
  const auto fnField = line.find("fn");
  const std::string fn =
      fnField != line.end() && fnField->is_string() ? fnField->get<std::string>() : std::string();
  const bool succeeded = Succeeded(line);
  if (line.contains("handle")) {
    const TraceLine handle = line["handle"];
    line["handle"] = files_.Used(handle);
    if (fn == "CloseHandle" && succeeded) files_.Released(handle);
  }
  if (line.contains("set")) {
    const TraceLine set = line["set"];
    line["set"] = sets_.Used(set);
    if (fn == "SetupDiDestroyDeviceInfoList" && succeeded) sets_.Released(set);
  }
  if (fn == "SetupDiGetClassDevsA") {
    line["result"] = sets_.Created(line["result"]);
  } else if (fn == "CreateFileA") {
    line.erase("path");
    line["result"] = files_.Created(line["result"]);
  } else if (fn == "HidD_GetPreparsedData") {
    line["preparsed"] = preparsed_.Created(line["preparsed"]);
  } else if (line.contains("preparsed")) {
    const TraceLine preparsed = line["preparsed"];
    line["preparsed"] = preparsed_.Used(preparsed);
    if (fn == "HidD_FreePreparsedData" && succeeded) preparsed_.Released(preparsed);
  } else if (fn == "SetupDiGetDeviceInterfaceDetailA") {
    for (const char* key : {"size", "needed"}) {
      const TraceLine& value = line[key];
      if (value.is_number_integer() && value.get<std::int64_t>() >= 5) line[key] = "path";
    }
  } else if (fn == "Sleep") {
    line.erase("ms");
  } else if (fn == "SetupDiGetDevicePropertyW") {
    Rename(line, "physical", physical_);
  } else if (fn == "CM_Get_DevNode_PropertyW") {
    Rename(line, "location", locations_);
  }
}

// Which interfaces share a device or a location is kept, the system's names for them (sysfs
// paths, container IDs, location paths) are not.
void TraceNormaliser::Rename(TraceLine& line, const char* key,
                             std::map<std::string, std::string>& names) {
  if (!line.contains(key) || !line[key].is_string()) return;
  const std::string name = line[key].get<std::string>();
  auto it = names.find(name);
  if (it == names.end()) {
    physicalBytes_ += name.size();
    if (physicalBytes_ > kMaxPhysicalBytes) {
      throw TraceLineError("names more physical devices than any host has");
    }
    it = names.emplace(name, key + ("#" + std::to_string(names.size() + 1))).first;
  }
  line[key] = it->second;
}

std::vector<TraceLine> NormaliseTrace(const std::vector<TraceLine>& trace) {
  TraceNormaliser normaliser;
  std::vector<TraceLine> out;
  out.reserve(trace.size());
  for (const TraceLine& in : trace) {
    TraceLine line;
    if (normaliser.Normalise(in, line)) out.push_back(std::move(line));
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
             << " of the normalised traces differs:\n  recorded: " << Dump(recorded[i])
             << "\n  replayed: " << Dump(replayed[i]) << '\n';
      return report.str();
    }
  }
  if (recorded.size() == replayed.size()) return {};
  std::ostringstream report;
  report << "the recorded trace has " << recorded.size() << " normalised lines, the replayed "
         << replayed.size() << "; the first extra one: "
         << Dump(recorded.size() > common ? recorded[common] : replayed[common]) << '\n';
  return report.str();
}

std::string CompareTraces(TraceReader& recorded, TraceReader& replayed) {
  TraceNormaliser recordedNames, replayedNames;
  TraceLine a, b;
  for (std::uint64_t n = 1;; ++n) {
    const bool hasA = NextNormalised(recorded, recordedNames, a);
    const bool hasB = NextNormalised(replayed, replayedNames, b);
    std::ostringstream report;
    if (hasA && hasB) {
      if (a == b) continue;
      report << "line " << n << " of the normalised traces differs (line " << recorded.Number()
             << " of " << recorded.Name() << ", line " << replayed.Number() << " of "
             << replayed.Name() << "):\n  recorded: " << Dump(a) << "\n  replayed: " << Dump(b)
             << '\n';
      return report.str();
    }
    if (!hasA && !hasB) return {};
    // One has ended: count what is left of the other, still one line at a time.
    TraceReader& longer = hasA ? recorded : replayed;
    TraceNormaliser& names = hasA ? recordedNames : replayedNames;
    const std::string extra = Dump(hasA ? a : b);
    const std::uint64_t extraLine = longer.Number();
    std::uint64_t total = n;
    for (TraceLine rest; NextNormalised(longer, names, rest);) ++total;
    report << "the recorded trace has " << (hasA ? total : n - 1)
           << " normalised lines, the replayed " << (hasB ? total : n - 1)
           << "; the first extra one (line " << extraLine << " of " << longer.Name()
           << "): " << extra << '\n';
    return report.str();
  }
}

}  // namespace dalvorn::emulator

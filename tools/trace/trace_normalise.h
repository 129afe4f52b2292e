// A trace reduced to what a replay on the emulated runner must reproduce of a recorded one.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "trace_line.h"

namespace dalvorn::emulator {

class TraceReader;

// Handle values in the order they were handed out, for one kind of object: "file#1", ... Only
// the objects still open are remembered (at most MaxOpenHandles), so memory stays bounded
// however long the trace.
class HandleNames {
 public:
  static constexpr std::size_t MaxOpenHandles = 4096;

  explicit HandleNames(std::string kind) : kind_(std::move(kind)) {}
  // The name of a handle just handed out (0 and -1 stay as they are).
  TraceLine Created(const TraceLine& value);
  // The name of a handle in use; "KIND#unknown" for one never handed out or already let go.
  TraceLine Used(const TraceLine& value) const;
  // The object is closed: its value may be handed out again.
  void Released(const TraceLine& value);

 private:
  std::string kind_;
  std::map<std::int64_t, std::uint64_t> names_;
  std::uint64_t count_ = 0;
};

// Normalises a trace one line at a time. Drops what differs between a real host and its replay
// and says nothing of what the program did: every `t`, the emulated device's own `device` lines,
// the `power` lines (a run without a power service, as a trace from before the program traced
// its own, has none, where its replay has the scenario's default; what the program did with the
// answers is in the lines kept), `os_error`, the paths of CreateFileA and the
// detail record sizes (`size`, `needed`) that follow from them (a vanished interface's size
// below 5 is kept), and the `ms` of pauses (the pacing pauses are what was left of the real
// clock's interval). Handle values become the order in which they were handed out, one count
// each for files, interface sets and preparsed data:
// "file#1", "set#2", ...; 0 and -1 stay as they are. Physical devices and locations become the
// order in which they were first named: "physical#1", ..., "location#1", ...
class TraceNormaliser {
 public:
  // False for a line normalising drops; otherwise `out` is the normalised line. Throws
  // TraceLineError when the trace holds more open handles or device names than any run does.
  bool Normalise(const TraceLine& in, TraceLine& out);

 private:
  void Call(TraceLine& line);
  // Replaces the system's name in `line[key]` by the order in which it was first named.
  void Rename(TraceLine& line, const char* key, std::map<std::string, std::string>& names);

  HandleNames files_{"file"}, sets_{"set"}, preparsed_{"preparsed"};
  std::map<std::string, std::string> physical_, locations_;
  std::size_t physicalBytes_ = 0;
};

std::vector<TraceLine> NormaliseTrace(const std::vector<TraceLine>& trace);

// The first line at which two normalised traces differ, as a short report; empty when equal.
std::string CompareNormalised(const std::vector<TraceLine>& recorded,
                              const std::vector<TraceLine>& replayed);

// The same for two traces read one line at a time, normalised as they are read: the report
// also names each line's number in its file. Throws TraceReadError.
std::string CompareTraces(TraceReader& recorded, TraceReader& replayed);

}  // namespace dalvorn::emulator

// The trace: one JSON object a line, in the order things happened, each with the clock `t`
// in milliseconds and the kind of event `ev`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "trace/trace_clock.h"

namespace dalvorn {

using TraceFields = nlohmann::ordered_json;

class TraceWriter {
 public:
  // Writes to `out`, or nothing when it is null. Every line is flushed at once, so a trace
  // is complete up to the last event even when the program dies.
  TraceWriter(std::ostream* out, const TraceClock& clock);

  // A platform operation: `args` (an object, fields in order) then `result`, at the clock's
  // time now or at `t`, the time the operation was called.
  void Call(std::string_view fn, const TraceFields& args, const TraceFields& result);
  void CallAt(std::int64_t t, std::string_view fn, const TraceFields& args,
              const TraceFields& result);
  // One of the emulated device's own events, at its own time.
  void Device(std::int64_t t, std::string_view op, const TraceFields& fields = TraceFields());
  void Window(std::string_view op, const TraceFields& fields = TraceFields());
  void Image(std::string_view op, const TraceFields& fields = TraceFields());
  // What the update's power guard did: hold, release, battery.
  void Power(std::string_view op, const TraceFields& fields = TraceFields());
  // The program's taskbar button or dock icon: progress and state.
  void Taskbar(std::string_view op, const TraceFields& fields);
  // A notification of the desktop.
  void Notify(const TraceFields& fields);
  void Exit(int code);

  std::int64_t Now() const { return clock_.NowMs(); }

  // Whether a line could not be written or flushed (a full disk, a closed pipe). The first
  // failure ends the trace: nothing more is written, and the run it records goes on as before.
  bool Failed() const { return failed_; }
  // Runs once, at the first failed line, so that the owner can say so at once.
  void SetOnFailure(std::function<void()> onFailure) { onFailure_ = std::move(onFailure); }

  // Runs before every line that is not itself written from inside it: lets the emulated device
  // write the events that fell due since the last line (in real time the clock moves between
  // the program's calls), so that lines stay in the order things happened.
  void SetBeforeEachLine(std::function<void()> hook) { beforeEachLine_ = std::move(hook); }

  // Lower-case hexadecimal, two digits a byte.
  static std::string Hex(const std::uint8_t* data, std::size_t size);

 private:
  void Line(std::int64_t t, std::string_view ev, const TraceFields& head,
            const TraceFields& fields);

  std::ostream* out_;
  const TraceClock& clock_;
  std::function<void()> beforeEachLine_;
  std::function<void()> onFailure_;
  bool inHook_ = false;
  bool failed_ = false;
};

}  // namespace dalvorn

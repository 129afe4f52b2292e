#include "trace/trace_writer.h"

namespace dalvorn {

TraceWriter::TraceWriter(std::ostream* out, const TraceClock& clock) : out_(out), clock_(clock) {}

void TraceWriter::Call(std::string_view fn, const TraceFields& args, const TraceFields& result) {
  CallAt(clock_.NowMs(), fn, args, result);
}

void TraceWriter::CallAt(std::int64_t t, std::string_view fn, const TraceFields& args,
                         const TraceFields& result) {
  if (out_ == nullptr) return;
  TraceFields tail = args.is_object() ? args : TraceFields::object();
  tail["result"] = result;
  Line(t, "call", TraceFields{{"fn", fn}}, tail);
}

void TraceWriter::Device(std::int64_t t, std::string_view op, const TraceFields& fields) {
  Line(t, "device", TraceFields{{"op", op}}, fields);
}

void TraceWriter::Window(std::string_view op, const TraceFields& fields) {
  Line(clock_.NowMs(), "window", TraceFields{{"op", op}}, fields);
}

void TraceWriter::Image(std::string_view op, const TraceFields& fields) {
  Line(clock_.NowMs(), "image", TraceFields{{"op", op}}, fields);
}

void TraceWriter::Power(std::string_view op, const TraceFields& fields) {
  Line(clock_.NowMs(), "power", TraceFields{{"op", op}}, fields);
}

void TraceWriter::Taskbar(std::string_view op, const TraceFields& fields) {
  Line(clock_.NowMs(), "taskbar", TraceFields{{"op", op}}, fields);
}

void TraceWriter::Notify(const TraceFields& fields) {
  Line(clock_.NowMs(), "notify", TraceFields::object(), fields);
}

void TraceWriter::Exit(int code) {
  Line(clock_.NowMs(), "exit", TraceFields{{"code", code}}, TraceFields());
}

std::string TraceWriter::Hex(const std::uint8_t* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    hex.push_back(kDigits[data[i] >> 4]);
    hex.push_back(kDigits[data[i] & 0xF]);
  }
  return hex;
}

void TraceWriter::Line(std::int64_t t, std::string_view ev, const TraceFields& head,
                       const TraceFields& fields) {
  if (out_ == nullptr) return;
  if (beforeEachLine_ && !inHook_) {
    inHook_ = true;
    beforeEachLine_();
    inHook_ = false;
  }
  if (failed_) return;
  TraceFields line = TraceFields::object();
  line["t"] = t;
  line["ev"] = ev;
  for (const auto& [key, value] : head.items()) line[key] = value;
  if (fields.is_object()) {
    for (const auto& [key, value] : fields.items()) line[key] = value;
  }
  *out_ << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  out_->flush();
  if (!*out_) {
    failed_ = true;
    if (onFailure_) onFailure_();
  }
}

}  // namespace dalvorn

#include "trace_tool.h"

#include <exception>

#include "scenario_from_trace.h"
#include "trace_input.h"
#include "trace_normalise.h"

namespace dalvorn::emulator {
namespace {

constexpr const char* kName = "dalvorn-trace-tool: ";

int Usage(std::ostream& err) {
  err << "usage: dalvorn-trace-tool scenario TRACE\n"
         "       dalvorn-trace-tool normalise TRACE\n"
         "       dalvorn-trace-tool compare RECORDED REPLAYED\n";
  return TraceToolUsageStatus;
}

void Normalise(const std::string& path, std::ostream& out) {
  InputFile file(path);
  TraceReader reader(file, path);
  TraceNormaliser normaliser;
  TraceLine normalised;
  for (TraceLine line; reader.Next(line);) {
    try {
      if (!normaliser.Normalise(line, normalised)) continue;
    } catch (const std::runtime_error& e) {
      reader.Fail(e.what());
    }
    out << normalised.dump(-1, ' ', false, TraceLine::error_handler_t::replace) << '\n';
  }
  if (reader.Count() == 0) throw TraceReadError(path + ": holds no trace line");
}

// 0 when equal, 1 when not, with the report on `out`.
int Compare(const std::string& recordedPath, const std::string& replayedPath, std::ostream& out) {
  InputFile recordedFile(recordedPath), replayedFile(replayedPath);
  TraceReader recorded(recordedFile, recordedPath), replayed(replayedFile, replayedPath);
  const std::string difference = CompareTraces(recorded, replayed);
  for (const TraceReader* reader : {&recorded, &replayed}) {
    if (reader->Count() == 0) throw TraceReadError(reader->Name() + ": holds no trace line");
  }
  if (!difference.empty()) {
    out << difference;
    return 1;
  }
  out << "the normalised traces are equal\n";
  return 0;
}

}  // namespace

int RunTraceTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  int status = 0;
  try {
    if (args.size() == 2 && args[0] == "scenario") {
      InputFile file(args[1], /*readTwice=*/true);
      out << ScenarioFromTrace(file, args[1]).dump(2) << '\n';
    } else if (args.size() == 2 && args[0] == "normalise") {
      Normalise(args[1], out);
    } else if (args.size() == 3 && args[0] == "compare") {
      status = Compare(args[1], args[2], out);
    } else {
      return Usage(err);
    }
  } catch (const std::exception& e) {
    out.flush();
    err << kName << e.what() << '\n';
    return TraceToolInputStatus;
  }
  if (!out.flush()) {
    err << kName << "cannot write the output\n";
    return TraceToolOutputStatus;
  }
  return status;
}

}  // namespace dalvorn::emulator

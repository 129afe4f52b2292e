// The real program's trace, asked for with the environment variable DALVORN_TRACE=FILE: the
// platform, the image and the power service wrapped so that every operation is written, on the
// real clock.
#pragma once

#include <filesystem>
#include <string>

#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "trace/trace_clock.h"
#include "trace/trace_file.h"
#include "trace/trace_writer.h"
#include "trace/tracing_image_file.h"
#include "trace/tracing_platform.h"
#include "trace/tracing_power_guard.h"
#include "update/firmware_image.h"

namespace dalvorn {

// The file DALVORN_TRACE names; empty when the variable is unset or empty.
std::filesystem::path TracePathFromEnvironment();

class ProgramTrace {
 public:
  // Opens `path` for the trace (trace_file.h): never the firmware image in the platform's
  // program folder, nor its signature. A file that cannot be opened is reported on standard
  // error and leaves the trace closed: the program then runs untraced. A line that cannot be
  // written is reported at once, and ends the trace; the program runs on.
  ProgramTrace(const std::filesystem::path& path, HidPlatform& platform, FirmwareImageFile& image,
               PowerGuard& power = NoPowerService());
  ProgramTrace(const ProgramTrace&) = delete;
  ProgramTrace& operator=(const ProgramTrace&) = delete;

  bool Opened() const { return opened_; }
  TraceWriter& Writer() { return writer_; }
  HidPlatform& Platform() { return platform_; }
  FirmwareImageFile& Image() { return image_; }
  PowerGuard& Power() { return power_; }

  // Writes the `exit` line and closes the file. Returns `exitCode`: the trace never changes the
  // outcome.
  int Finish(int exitCode);

 private:
  void ReportWriteFailure(const std::string& reason);

  std::filesystem::path path_;
  TraceFile file_;
  std::string openError_;
  bool opened_;
  TraceFileStream stream_;
  bool reported_ = false;
  SteadyTraceClock clock_;
  TraceWriter writer_;
  TracingPlatform platform_;
  TracingFirmwareImageFile image_;
  TracingPowerGuard power_;
};

}  // namespace dalvorn

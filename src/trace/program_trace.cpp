#include "trace/program_trace.h"

#include <cstdlib>
#include <iostream>

namespace dalvorn {
namespace {

constexpr const char* kName = "dalvorn-firmware-update: ";

}  // namespace

std::filesystem::path TracePathFromEnvironment() {
#ifdef _WIN32
  // The wide variable names any file, whatever the system's ANSI code page.
  const wchar_t* value = _wgetenv(L"DALVORN_TRACE");
#else
  const char* value = std::getenv("DALVORN_TRACE");
#endif
  if (value == nullptr || *value == 0) return {};
  return std::filesystem::path(value);
}

ProgramTrace::ProgramTrace(const std::filesystem::path& path, HidPlatform& platform,
                           FirmwareImageFile& image, PowerGuard& power)
    : path_(path),
      opened_(
          file_.Open(path, FirmwareFiles(FirmwareImagePath(platform.ProgramFolder())), openError_)),
      stream_(file_),
      writer_(opened_ ? &stream_ : nullptr, clock_),
      platform_(platform, writer_),
      image_(image, writer_),
      power_(power, writer_) {
  if (!opened_) {
    std::cerr << kName << "cannot write the trace " << PathText(path_)
              << "; the program runs without it (" << openError_ << ")\n";
    return;
  }
  writer_.SetOnFailure([this] { ReportWriteFailure(stream_.Error()); });
}

void ProgramTrace::ReportWriteFailure(const std::string& reason) {
  if (reported_) return;
  reported_ = true;
  std::cerr << kName << "writing the trace " << PathText(path_) << " failed; it is incomplete ("
            << reason << "); the program runs on without it\n";
}

int ProgramTrace::Finish(int exitCode) {
  if (!opened_) return exitCode;
  writer_.Exit(exitCode);
  std::string error;
  if (!file_.Close(error)) ReportWriteFailure(error);
  return exitCode;
}

}  // namespace dalvorn

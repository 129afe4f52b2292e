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
                           FirmwareImageFile& image)
    : path_(path),
      file_(path, std::ios::trunc | std::ios::binary),
      opened_(static_cast<bool>(file_)),
      writer_(opened_ ? &file_ : nullptr, clock_),
      platform_(platform, writer_),
      image_(image, writer_) {
  if (!opened_) {
    std::cerr << kName << "cannot write the trace " << path_.string()
              << "; the program runs without it\n";
  }
}

int ProgramTrace::Finish(int exitCode) {
  if (!opened_) return exitCode;
  writer_.Exit(exitCode);
  file_.close();
  if (writer_.Failed() || file_.fail()) {
    std::cerr << kName << "writing the trace " << path_.string() << " failed; it is incomplete\n";
  }
  return exitCode;
}

}  // namespace dalvorn

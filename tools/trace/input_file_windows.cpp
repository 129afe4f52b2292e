// The tools' input files on Windows: opened by their UTF-16 name, judged by what the system says
// of the open handle (a disk file or a pipe), read with ReadFile.
#include <windows.h>

#include <string>

#include "text/text_codec.h"
#include "trace_input.h"

namespace dalvorn::emulator {
namespace {}  // namespace

InputFile::InputFile(const std::string& path, bool readTwice) : path_(path) {
  // Backup semantics let a directory open, so that it is told apart; opening a pipe or a
  // device returns at once.
  HANDLE handle =
      ::CreateFileW((IsValidUtf8(path) ? WideFromUtf8(path) : std::wstring(L"?")).c_str(),
                    GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw TraceReadError(path + ": cannot be opened: " + WindowsErrorText(::GetLastError()));
  }
  std::string refusal;
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD type = ::GetFileType(handle);
  if (type == FILE_TYPE_DISK) {
    if (!::GetFileInformationByHandle(handle, &info)) {
      refusal = "cannot be examined: " + WindowsErrorText(::GetLastError());
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      refusal = "is a directory, not a file";
    } else {
      size_ = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
  } else if (type != FILE_TYPE_PIPE) {
    refusal = "is neither a regular file nor a pipe";
  }
  if (refusal.empty() && !size_ && readTwice && (copy_ = std::tmpfile()) == nullptr) {
    refusal = "no temporary file to keep the pipe in";
  }
  if (!refusal.empty()) {
    ::CloseHandle(handle);
    throw TraceReadError(path + ": " + refusal);
  }
  handle_ = handle;
}

InputFile::~InputFile() {
  if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
  if (copy_ != nullptr) std::fclose(copy_);
}

std::size_t InputFile::ReadSystem(char* buffer, std::size_t size) {
  const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD read = 0;
  if (::ReadFile(static_cast<HANDLE>(handle_), buffer, chunk, &read, nullptr)) return read;
  const DWORD error = ::GetLastError();
  // The writer of a pipe has closed its end: the end of the input.
  if (error == ERROR_BROKEN_PIPE) return 0;
  throw TraceReadError(path_ + ": cannot be read: " + WindowsErrorText(error));
}

bool InputFile::SeekToStart() {
  LARGE_INTEGER zero{};
  return ::SetFilePointerEx(static_cast<HANDLE>(handle_), zero, nullptr, FILE_BEGIN) != 0;
}

}  // namespace dalvorn::emulator

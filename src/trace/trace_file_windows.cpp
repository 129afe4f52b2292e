// The trace file on Windows: opened by its UTF-16 name without inheritance, checked against the
// protected files by volume serial number and file index once open, emptied only then.
// Opening a named pipe never waits: a pipe with no free instance fails at once.
#include <windows.h>

#include "text/text_codec.h"
#include "trace/trace_file.h"

namespace dalvorn {
namespace {

// Opens an existing file as it is, or creates a new one that did not exist; never truncates.
HANDLE OpenWithoutTruncating(const std::filesystem::path& path, bool& created) {
  created = false;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  for (int round = 0; round < 3; ++round) {
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_NOT_FOUND) return handle;
    handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      created = true;
      return handle;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

// Whether `file` names the file open on `handle`: the same volume and file index.
bool IsSameFile(HANDLE handle, const std::filesystem::path& file) {
  BY_HANDLE_FILE_INFORMATION opened{};
  if (!::GetFileInformationByHandle(handle, &opened)) return false;
  HANDLE other =
      ::CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(other, &info) != 0;
  ::CloseHandle(other);
  return known && info.dwVolumeSerialNumber == opened.dwVolumeSerialNumber &&
         info.nFileIndexHigh == opened.nFileIndexHigh && info.nFileIndexLow == opened.nFileIndexLow;
}

}  // namespace

void IgnoreBrokenPipes() {}

bool TraceFile::IsOpen() const {
  return handle_ != nullptr;
}

bool TraceFile::Open(const std::filesystem::path& path,
                     const std::vector<ProtectedFile>& protectedFiles, std::string& error) {
  Close();
  bool created = false;
  HANDLE handle = OpenWithoutTruncating(path, created);
  if (handle == INVALID_HANDLE_VALUE) {
    error = WindowsErrorText(::GetLastError());
    return false;
  }
  const auto refuse = [&](std::string reason) {
    ::CloseHandle(handle);
    if (created) ::DeleteFileW(path.c_str());
    error = std::move(reason);
    return false;
  };
  for (const ProtectedFile& file : protectedFiles) {
    if (IsSameFile(handle, file.path))
      return refuse("it is " + file.what + " " + PathText(file.path));
  }
  if (::GetFileType(handle) == FILE_TYPE_DISK && !created && !::SetEndOfFile(handle)) {
    return refuse(WindowsErrorText(::GetLastError()));
  }
  handle_ = handle;
  return true;
}

bool TraceFile::Write(const char* data, std::size_t size, std::string& error) {
  if (handle_ == nullptr) {
    error = WindowsErrorText(ERROR_INVALID_HANDLE);
    return false;
  }
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(static_cast<HANDLE>(handle_), data, chunk, &written, nullptr)) {
      error = WindowsErrorText(::GetLastError());
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool TraceFile::Close(std::string& error) {
  if (handle_ == nullptr) return true;
  const BOOL closed = ::CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  if (closed) return true;
  error = WindowsErrorText(::GetLastError());
  return false;
}

}  // namespace dalvorn

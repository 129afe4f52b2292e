// Files on Windows: opened by their UTF-16 name, so that any folder name works whatever the
// system's ANSI code page, without inheritance; judged by what the system says of the open
// handle. Opening a named pipe never waits: a pipe with no free instance fails at once.
#include <windows.h>

#include "file/system_file.h"
#include "text/text_codec.h"

namespace dalvorn {
namespace {

// The UTF-16 name of a UTF-8 path; false (with the system's reason) when it is not one.
bool WideName(const std::string& path, std::wstring& name, std::string& error) {
  if (path.find('\0') != std::string::npos) {
    error = WindowsErrorText(ERROR_INVALID_NAME);
    return false;
  }
  if (!IsValidUtf8(path)) {
    error = WindowsErrorText(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  name = WideFromUtf8(path);
  return true;
}

// Opens an existing file as it is, or creates a new one that did not exist; never truncates.
HANDLE OpenOrCreate(const std::wstring& name, bool& created) {
  created = false;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  for (int round = 0; round < 3; ++round) {
    HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_NOT_FOUND) return handle;
    handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      created = true;
      return handle;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

void IgnoreBrokenPipes() {}

bool SystemFile::IsOpen() const {
  return handle_ != nullptr;
}

bool SystemFile::Examine(std::string& error) {
  const DWORD type = ::GetFileType(static_cast<HANDLE>(handle_));
  kind_ = type == FILE_TYPE_PIPE ? FileKind::Pipe : FileKind::Other;
  size_ = 0;
  if (type != FILE_TYPE_DISK) return true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(static_cast<HANDLE>(handle_), &info)) {
    error = WindowsErrorText(::GetLastError());
    Close();
    return false;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    kind_ = FileKind::Directory;
  } else {
    kind_ = FileKind::Regular;
    size_ = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  }
  return true;
}

bool SystemFile::OpenToRead(const std::string& path, std::string& error) {
  Close();
  std::wstring name;
  if (!WideName(path, name, error)) return false;
  // Backup semantics let a directory open, so that it can be told apart; opening a pipe or a
  // device returns at once.
  HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = WindowsErrorText(::GetLastError());
    return false;
  }
  handle_ = handle;
  return Examine(error);
}

bool SystemFile::OpenToWrite(const std::string& path, bool& created, std::string& error) {
  Close();
  created = false;
  std::wstring name;
  if (!WideName(path, name, error)) return false;
  HANDLE handle = OpenOrCreate(name, created);
  if (handle == INVALID_HANDLE_VALUE) {
    error = WindowsErrorText(::GetLastError());
    return false;
  }
  handle_ = handle;
  if (Examine(error)) return true;
  if (created) ::DeleteFileW(name.c_str());
  return false;
}

bool SystemFile::IsSameFileAs(const std::string& path) const {
  std::wstring name;
  std::string ignored;
  BY_HANDLE_FILE_INFORMATION opened{};
  if (handle_ == nullptr || !WideName(path, name, ignored) ||
      !::GetFileInformationByHandle(static_cast<HANDLE>(handle_), &opened)) {
    return false;
  }
  HANDLE other =
      ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(other, &info) != 0;
  ::CloseHandle(other);
  return known && info.dwVolumeSerialNumber == opened.dwVolumeSerialNumber &&
         info.nFileIndexHigh == opened.nFileIndexHigh && info.nFileIndexLow == opened.nFileIndexLow;
}

bool SystemFile::Read(char* buffer, std::size_t size, std::size_t& got, std::string& error) {
  const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD read = 0;
  got = 0;
  if (::ReadFile(static_cast<HANDLE>(handle_), buffer, chunk, &read, nullptr)) {
    got = read;
    return true;
  }
  const DWORD code = ::GetLastError();
  // The writer of a pipe has closed its end: the end of the file.
  if (code == ERROR_BROKEN_PIPE) return true;
  error = WindowsErrorText(code);
  return false;
}

bool SystemFile::Write(const char* data, std::size_t size, std::string& error) {
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

bool SystemFile::SeekToStart() {
  LARGE_INTEGER zero{};
  return ::SetFilePointerEx(static_cast<HANDLE>(handle_), zero, nullptr, FILE_BEGIN) != 0;
}

bool SystemFile::Truncate(std::string& error) {
  if (SeekToStart() && ::SetEndOfFile(static_cast<HANDLE>(handle_))) return true;
  error = WindowsErrorText(::GetLastError());
  return false;
}

bool SystemFile::Close(std::string& error) {
  if (handle_ == nullptr) return true;
  const BOOL closed = ::CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  if (closed) return true;
  error = WindowsErrorText(::GetLastError());
  return false;
}

}  // namespace dalvorn

// The trace file on Windows: opened by its UTF-16 name without inheritance, checked against the
// protected files by volume serial number and file index once open, emptied only then.
// Opening a named pipe never waits: a pipe with no free instance fails at once.
#include <windows.h>

#include "trace/trace_file.h"

namespace dalvorn {
namespace {

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
  return text;
}

// The system's text for an error code, without its closing period and line break.
std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'.' || message.back() == L'\r' ||
                              message.back() == L'\n' || message.back() == L' ')) {
    message.pop_back();
  }
  const std::string prefix = "GetLastError " + std::to_string(code);
  return message.empty() ? prefix : prefix + ": " + WideToUtf8(message);
}

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
    error = SystemMessage(::GetLastError());
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
    return refuse(SystemMessage(::GetLastError()));
  }
  handle_ = handle;
  return true;
}

bool TraceFile::Write(const char* data, std::size_t size, std::string& error) {
  if (handle_ == nullptr) {
    error = SystemMessage(ERROR_INVALID_HANDLE);
    return false;
  }
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(static_cast<HANDLE>(handle_), data, chunk, &written, nullptr)) {
      error = SystemMessage(::GetLastError());
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
  error = SystemMessage(::GetLastError());
  return false;
}

}  // namespace dalvorn

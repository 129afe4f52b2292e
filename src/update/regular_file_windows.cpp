// Reading a whole regular file on Windows: the UTF-8 path is opened by its UTF-16 name, so
// that any folder name works whatever the system's ANSI code page, and anything the system
// does not report as a disk file is refused before a byte is read from it.
#include "update/regular_file.h"

#include <windows.h>

namespace dalvorn {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  void reset(HANDLE handle) {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

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
  if (message.empty()) return "system error " + std::to_string(code);
  return WideToUtf8(message);
}

// The UTF-16 name of a UTF-8 path; false (with the system's reason) when it is not UTF-8.
bool Utf8ToWide(const std::string& text, std::wstring& wide, std::string& error) {
  wide.clear();
  if (text.find('\0') != std::string::npos) {
    error = SystemMessage(ERROR_INVALID_NAME);
    return false;
  }
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (n <= 0) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  wide.assign(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), n);
  return true;
}

}  // namespace

namespace {

// Opens `path` for reading and checks that it is a disk file, not a directory, of at most
// `maxBytes`; the open handle is left in `file`, the size in `size`.
bool OpenRegularFile(const std::string& path, std::uint64_t maxBytes, FileHandle& file,
                     std::uint64_t& size, std::string& error) {
  std::wstring name;
  if (!Utf8ToWide(path, name, error)) return false;
  // Read only and never created. Backup semantics let a directory open, so that it can be
  // told apart; opening a pipe or a device returns at once, and nothing is read from them.
  file.reset(::CreateFileW(name.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    error = NotRegularFileReason();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info)) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = DirectoryReason();
    return false;
  }
  size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if (size > maxBytes) {
    error = TooLargeReason(maxBytes);
    return false;
  }
  return true;
}

}  // namespace

bool ProbeRegularFile(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size,
                      std::string& error) {
  FileHandle file(INVALID_HANDLE_VALUE);
  return OpenRegularFile(path, maxBytes, file, size, error);
}

bool ReadRegularFile(const std::string& path, std::uint64_t maxBytes,
                     std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  FileHandle file(INVALID_HANDLE_VALUE);
  std::uint64_t size = 0;
  if (!OpenRegularFile(path, maxBytes, file, size, error)) return false;
  // The file may still grow while it is read: never ask for more than one byte past the limit.
  bytes.reserve(static_cast<std::size_t>(size));
  std::vector<std::uint8_t> chunk(64 * 1024);
  for (;;) {
    const std::uint64_t left = maxBytes - bytes.size();
    const DWORD want =
        left >= chunk.size() ? static_cast<DWORD>(chunk.size()) : static_cast<DWORD>(left + 1);
    DWORD n = 0;
    if (!::ReadFile(file.get(), chunk.data(), want, &n, nullptr)) {
      error = SystemMessage(::GetLastError());
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    if (bytes.size() + n > maxBytes) {
      error = TooLargeReason(maxBytes);
      bytes.clear();
      return false;
    }
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
  }
  return true;
}

}  // namespace dalvorn

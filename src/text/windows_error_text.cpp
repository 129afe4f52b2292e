#include <windows.h>

#include "text/text_codec.h"

namespace dalvorn {

std::string WindowsErrorText(std::uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const std::string message =
      n > 0 && text != nullptr ? TrimSystemText(Utf8FromWide(std::wstring_view(text, n))) : "";
  if (text != nullptr) ::LocalFree(text);
  const std::string number = "GetLastError " + std::to_string(code);
  return message.empty() ? number : number + ": " + message;
}

}  // namespace dalvorn

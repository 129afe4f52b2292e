// dalvorn-firmware-update-emulated.exe: the program over an emulated device and host, on the
// native Win32 window.
#include <cwchar>
#include <iostream>
#include <string>
#include <vector>

#include "emulator/runner_options.h"
#include "emulator/win32/win32_runner.h"

#include <windows.h>

#include <shellapi.h>

namespace {

std::string WideToUtf8(const wchar_t* wide, std::size_t length) {
  if (length == 0) return {};
  const int size = static_cast<int>(length);
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, size, text.data(), n, nullptr, nullptr);
  return text;
}

// The folder of this executable, the default program folder, in UTF-8.
std::string OwnFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  DWORD n = 0;
  while ((n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) >=
         path.size()) {
    path.resize(path.size() * 2);
  }
  const std::wstring file(path.data(), n);
  const std::size_t slash = file.find_last_of(L"\\/");
  return slash == std::wstring::npos ? "." : WideToUtf8(file.data(), slash);
}

// The arguments after the program's name, in UTF-8: the C runtime's narrow ones are in the
// ANSI code page, which cannot name every folder.
std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(WideToUtf8(wide[i], std::wcslen(wide[i])));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace

int main() {
  const std::vector<std::string> arguments = Arguments();
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::cout << dalvorn::emulator::RunnerUsage();
    return 0;
  }
  dalvorn::emulator::RunnerOptions options;
  std::string error;
  if (!dalvorn::emulator::ParseRunnerOptions(arguments, OwnFolder(), options, error)) {
    std::cerr << "dalvorn-firmware-update-emulated: " << error << '\n'
              << dalvorn::emulator::RunnerUsage();
    return dalvorn::emulator::UsageExitStatus;
  }
  return dalvorn::emulator::RunEmulatedWin32(options);
}

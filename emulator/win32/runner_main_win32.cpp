// dalvorn-firmware-update-emulated.exe: the program over an emulated device and host, on the
// native Win32 window.
#include <iostream>
#include <string>
#include <vector>

#include "runner_options.h"
#include "text/language_choice.h"
#include "text/text_codec.h"
#include "win32/win32_runner.h"

#include <windows.h>

#include <shellapi.h>

namespace {

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
  return slash == std::wstring::npos ? "."
                                     : dalvorn::Utf8FromWide(std::wstring_view(file.data(), slash));
}

// The arguments after the program's name, in UTF-8: the C runtime's narrow ones are in the
// ANSI code page, which cannot name every folder.
std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(dalvorn::Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace

int main() {
  dalvorn::UseSystemLanguage();
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

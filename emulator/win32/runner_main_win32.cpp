// dalvorn-firmware-update-emulated.exe: the program over an emulated device and host, on the
// native Win32 window.
#include <iostream>
#include <string>
#include <vector>

#include "emulator/runner_options.h"
#include "emulator/win32/win32_runner.h"

#include <windows.h>

namespace {

// The folder of this executable, the default program folder.
std::string OwnFolder() {
  std::vector<char> path(MAX_PATH);
  DWORD n = 0;
  while ((n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()))) >=
         path.size()) {
    path.resize(path.size() * 2);
  }
  std::string folder(path.data(), n);
  const std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? "." : folder.substr(0, slash);
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
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

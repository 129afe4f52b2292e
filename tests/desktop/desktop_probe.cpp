// One update over the emulated device, on its virtual clock, with the operating system's real
// desktop services: the D-Bus test (launcher_notify_test.py) watches the session bus meanwhile.
//   desktop_probe SCENARIO_JSON IMAGE_BYTES
// Exits with the program's status.
#include <string>

#include "device/desktop_shell.h"
#include "emulated_host.h"

int main(int argc, char* argv[]) {
  if (argc != 3) return 64;
  const auto shell = dalvorn::MakeOsDesktopShell();
  dalvorn::testing::EmulatedHost host(argv[1], std::stol(argv[2]),
                                      dalvorn::testing::PowerService::None, *shell);
  host.Load();
  host.Click();
  return host.Finish();
}

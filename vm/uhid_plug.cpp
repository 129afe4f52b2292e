// Plugs the device model in through /dev/uhid and serves it until SIGTERM, for the VM test of
// the real program (vm/program_in_vm.sh): the program's window is up before the device exists,
// takes the system's notification, and updates the device when clicked. On SIGTERM it says
// what the device took, against the image the program was given:
//   uhid-plug: PASS|FAIL flash=N/M switches=S restarts=R unlocked=U served=1
//   dalvorn_vm_uhid_plug IMAGE
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "hid_device_model.h"
#include "uhid_device.h"

int main(int argc, char* argv[]) {
  using namespace dalvorn::linuxtest;
  if (argc != 2) {
    std::fprintf(stderr, "usage: dalvorn_vm_uhid_plug IMAGE\n");
    return 64;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  image.resize(image.size() / ModelRecordSize * ModelRecordSize);  // whole records only

  // Blocked before the serving thread starts, so that only sigwait takes it.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  UhidDevice device(ModelMode::App, "0001");
  if (!device.Start()) {
    std::perror("uhid-plug: /dev/uhid");
    return 1;
  }
  std::printf("uhid-plug: the device is plugged in\n");
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  const HidDeviceModel model = device.Model();
  const bool served = device.Stop();
  const bool pass = served && model.Flash() == image && model.Mode() == ModelMode::App &&
                    model.Switches() == 1 && model.Restarts() == 1;
  std::printf("uhid-plug: %s flash=%zu/%zu switches=%d restarts=%d unlocked=%d served=%d\n",
              pass ? "PASS" : "FAIL", model.Flash().size(), image.size(), model.Switches(),
              model.Restarts(), model.Unlocked() ? 1 : 0, served ? 1 : 0);
  return pass ? 0 : 1;
}

// Serves the device model as a hidraw device faked with umockdev to another program, the
// installed one: .ci/package-signed.sh compiles it and runs
//   umockdev-wrapper serve_fake_device PROGRAM [ARGUMENTS...]
// in the Debian root the package is installed in. The device stays in application mode (it is
// never re-created in its bootloader), which is all the check needs: whether the program sends
// it a report at all. When the program has ended, prints "feature_reports=N" (every feature
// report any node took) and exits with the program's exit status (125 when it cannot start).
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>
#include <vector>

#include "fake_hid_host.h"

int main(int argc, char* argv[]) {
  using namespace dalvorn::linuxtest;
  if (argc < 2) {
    std::fprintf(stderr, "usage: umockdev-wrapper serve_fake_device PROGRAM [ARGUMENTS...]\n");
    return 125;
  }
  try {
    FakeHidHost host;
    host.AddModelDevice(0, ModelMode::App);
    const pid_t child = ::fork();
    if (child < 0) return 125;
    if (child == 0) {
      ::execv(argv[1], argv + 1);
      std::perror(argv[1]);
      ::_exit(125);
    }
    int status = 0;
    // umockdev answers the program's requests on its own thread meanwhile.
    while (::waitpid(child, &status, WNOHANG) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::size_t reports = 0;
    for (const NodeRecord& record : host.Records()) reports += record.featuresSet.size();
    std::printf("feature_reports=%zu\n", reports);
    std::fflush(stdout);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "serve_fake_device: %s\n", e.what());
    return 125;
  }
}

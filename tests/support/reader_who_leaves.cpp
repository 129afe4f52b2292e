#include "reader_who_leaves.h"

#include <fcntl.h>
#include <unistd.h>

namespace dalvorn::testing {

ReaderWhoLeaves::ReaderWhoLeaves() {
  if (::pipe2(ends_, O_CLOEXEC) == 0) ::fcntl(ends_[0], F_SETFL, O_NONBLOCK);
}

ReaderWhoLeaves::~ReaderWhoLeaves() {
  for (const int fd : ends_) {
    if (fd >= 0) ::close(fd);
  }
}

std::string ReaderWhoLeaves::WriteEnd() const {
  return "/proc/self/fd/" + std::to_string(ends_[1]);
}

void ReaderWhoLeaves::CloseWriteEnd() {
  if (ends_[1] >= 0) ::close(ends_[1]);
  ends_[1] = -1;
}

void ReaderWhoLeaves::AtPump() {
  if (ends_[0] < 0) return;
  char chunk[4096];
  for (ssize_t n; (n = ::read(ends_[0], chunk, sizeof chunk)) > 0;) {
    read_.append(chunk, static_cast<std::size_t>(n));
  }
  const std::size_t caption = read_.find("Updating firmware");
  if (caption != std::string::npos && read_.find("HidD_SetFeature", caption) != std::string::npos) {
    ::close(ends_[0]);
    ends_[0] = -1;
  }
}

}  // namespace dalvorn::testing

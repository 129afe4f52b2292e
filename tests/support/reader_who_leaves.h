// The reader of a trace who stops in the middle of an update (POSIX): the reading end of a pipe,
// read at each event pump of the program and closed at the first pump after the first data
// block.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace dalvorn::testing {

class ReaderWhoLeaves {
 public:
  ReaderWhoLeaves() {
    if (::pipe2(ends_, O_CLOEXEC) == 0) ::fcntl(ends_[0], F_SETFL, O_NONBLOCK);
  }
  ReaderWhoLeaves(const ReaderWhoLeaves&) = delete;
  ReaderWhoLeaves& operator=(const ReaderWhoLeaves&) = delete;
  ~ReaderWhoLeaves() {
    for (const int fd : ends_) {
      if (fd >= 0) ::close(fd);
    }
  }

  // The pipe's writing end, as a path the trace is opened on.
  std::string WriteEnd() const { return "/proc/self/fd/" + std::to_string(ends_[1]); }
  // Closes this process's own writing end, once the trace has opened its.
  void CloseWriteEnd() {
    if (ends_[1] >= 0) ::close(ends_[1]);
    ends_[1] = -1;
  }
  // Reads what the trace has written; leaves once a data block follows "Updating firmware".
  void AtPump() {
    if (ends_[0] < 0) return;
    char chunk[4096];
    for (ssize_t n; (n = ::read(ends_[0], chunk, sizeof chunk)) > 0;) {
      read_.append(chunk, static_cast<std::size_t>(n));
    }
    const std::size_t caption = read_.find("Updating firmware");
    if (caption != std::string::npos &&
        read_.find("HidD_SetFeature", caption) != std::string::npos) {
      ::close(ends_[0]);
      ends_[0] = -1;
    }
  }
  bool Left() const { return ends_[0] < 0; }

 private:
  int ends_[2] = {-1, -1};
  std::string read_;
};

}  // namespace dalvorn::testing

// The tools' input files on POSIX systems: opened non-blocking (a FIFO with no writer does not
// hold the open), judged by fstat, then read blocking.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/text_codec.h"
#include "trace_input.h"

namespace dalvorn::emulator {

InputFile::InputFile(const std::string& path, bool readTwice) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) throw TraceReadError(path + ": cannot be opened: " + ErrnoText(errno));
  struct stat status {};
  std::string refusal;
  if (::fstat(fd_, &status) != 0) {
    refusal = "cannot be examined: " + ErrnoText(errno);
  } else if (S_ISDIR(status.st_mode)) {
    refusal = "is a directory, not a file";
  } else if (S_ISREG(status.st_mode)) {
    size_ = static_cast<std::uint64_t>(status.st_size);
  } else if (!S_ISFIFO(status.st_mode)) {
    refusal = "is neither a regular file nor a pipe";
  }
  const int flags = refusal.empty() ? ::fcntl(fd_, F_GETFL) : -1;
  if (refusal.empty() && (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)) {
    refusal = "cannot be read: " + ErrnoText(errno);
  }
  if (refusal.empty() && !size_ && readTwice && (copy_ = std::tmpfile()) == nullptr) {
    refusal = "no temporary file to keep the pipe in: " + ErrnoText(errno);
  }
  if (!refusal.empty()) {
    ::close(fd_);
    fd_ = -1;
    throw TraceReadError(path + ": " + refusal);
  }
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (copy_ != nullptr) std::fclose(copy_);
}

std::size_t InputFile::ReadSystem(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw TraceReadError(path_ + ": cannot be read: " + ErrnoText(errno));
  }
}

bool InputFile::SeekToStart() {
  return ::lseek(fd_, 0, SEEK_SET) == 0;
}

}  // namespace dalvorn::emulator

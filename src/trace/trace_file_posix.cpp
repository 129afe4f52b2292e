// The trace file on POSIX systems: opened non-blocking, checked against the protected files by
// device and inode once open (so no rename between a check and the open can fool it), emptied
// only then, and switched back to blocking writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "text/text_codec.h"
#include "trace/trace_file.h"

namespace dalvorn {
namespace {

// Opens an existing file as it is, or creates a new one (0600) that did not exist: never blocks
// (a FIFO nobody reads fails with ENXIO), never truncates. -1 with errno set when it fails.
int OpenWithoutBlocking(const char* path, bool& created) {
  constexpr int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  created = false;
  // A file that appears or goes between the two opens is met by the other on the next round.
  for (int round = 0; round < 3; ++round) {
    const int fd = ::open(path, flags);
    if (fd >= 0 || errno != ENOENT) return fd;
    const int made = ::open(path, flags | O_CREAT | O_EXCL, 0600);
    if (made >= 0) {
      created = true;
      return made;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// The reason a path cannot be opened for the trace.
std::string OpenFailure(const char* path, int error) {
  struct stat status {};
  if (error == ENXIO && ::stat(path, &status) == 0 && S_ISFIFO(status.st_mode)) {
    return "it is a FIFO that nobody reads";
  }
  if (error == EEXIST) return "it is a link to a file that does not exist";
  return ErrnoText(error);
}

}  // namespace

void IgnoreBrokenPipes() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGPIPE, &action, nullptr);
}

bool TraceFile::IsOpen() const {
  return fd_ >= 0;
}

bool TraceFile::Open(const std::filesystem::path& path,
                     const std::vector<ProtectedFile>& protectedFiles, std::string& error) {
  Close();
  bool created = false;
  const int fd = OpenWithoutBlocking(path.c_str(), created);
  if (fd < 0) {
    error = OpenFailure(path.c_str(), errno);
    return false;
  }
  const auto refuse = [&](std::string reason) {
    ::close(fd);
    if (created) ::unlink(path.c_str());
    error = std::move(reason);
    return false;
  };
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) return refuse(ErrnoText(errno));
  for (const ProtectedFile& file : protectedFiles) {
    struct stat other {};
    if (::stat(file.path.c_str(), &other) == 0 && other.st_dev == opened.st_dev &&
        other.st_ino == opened.st_ino) {
      return refuse("it is " + file.what + " " + PathText(file.path));
    }
  }
  if (S_ISREG(opened.st_mode) && !created && ::ftruncate(fd, 0) != 0) {
    return refuse(ErrnoText(errno));
  }
  // Writes wait for a slow reader, as any program writing to a pipe does.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refuse(ErrnoText(errno));
  fd_ = fd;
  return true;
}

bool TraceFile::Write(const char* data, std::size_t size, std::string& error) {
  if (fd_ < 0) {
    error = ErrnoText(EBADF);
    return false;
  }
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = ErrnoText(errno);
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TraceFile::Close(std::string& error) {
  if (fd_ < 0) return true;
  const int result = ::close(fd_);
  fd_ = -1;
  if (result == 0) return true;
  error = ErrnoText(errno);
  return false;
}

}  // namespace dalvorn

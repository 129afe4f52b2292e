// Files on POSIX systems: opened non-blocking, judged by fstat once open, then switched back to
// blocking reads and writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "file/system_file.h"
#include "text/text_codec.h"

namespace dalvorn {
namespace {

constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Opens an existing file as it is, or creates a new one (0600) that did not exist: never blocks
// (a FIFO nobody reads fails with ENXIO), never truncates. -1 with errno set when it fails.
int OpenOrCreate(const char* path, bool& created) {
  constexpr int flags = O_WRONLY | kOpenFlags;
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

// The reason a path cannot be opened to write.
std::string WriteOpenFailure(const char* path, int error) {
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

bool SystemFile::IsOpen() const {
  return fd_ >= 0;
}

bool SystemFile::Examine(std::string& error) {
  struct stat status {};
  const int flags = ::fstat(fd_, &status) == 0 ? ::fcntl(fd_, F_GETFL) : -1;
  // Reads and writes wait for a slow pipe, as any program's do.
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error = ErrnoText(errno);
    Close();
    return false;
  }
  kind_ = S_ISREG(status.st_mode)    ? FileKind::Regular
          : S_ISDIR(status.st_mode)  ? FileKind::Directory
          : S_ISFIFO(status.st_mode) ? FileKind::Pipe
                                     : FileKind::Other;
  size_ = kind_ == FileKind::Regular ? static_cast<std::uint64_t>(status.st_size) : 0;
  return true;
}

bool SystemFile::OpenToRead(const std::string& path, std::string& error) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | kOpenFlags);
  if (fd_ < 0) {
    error = ErrnoText(errno);
    return false;
  }
  return Examine(error);
}

bool SystemFile::OpenToWrite(const std::string& path, bool& created, std::string& error) {
  Close();
  fd_ = OpenOrCreate(path.c_str(), created);
  if (fd_ < 0) {
    error = WriteOpenFailure(path.c_str(), errno);
    return false;
  }
  if (Examine(error)) return true;
  if (created) ::unlink(path.c_str());
  return false;
}

bool SystemFile::IsSameFileAs(const std::string& path) const {
  struct stat opened {
  }, other{};
  return fd_ >= 0 && ::fstat(fd_, &opened) == 0 && ::stat(path.c_str(), &other) == 0 &&
         other.st_dev == opened.st_dev && other.st_ino == opened.st_ino;
}

bool SystemFile::Read(char* buffer, std::size_t size, std::size_t& got, std::string& error) {
  got = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) {
      got = static_cast<std::size_t>(n);
      return true;
    }
    if (errno != EINTR) {
      error = ErrnoText(errno);
      return false;
    }
  }
}

bool SystemFile::Write(const char* data, std::size_t size, std::string& error) {
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

bool SystemFile::SeekToStart() {
  return ::lseek(fd_, 0, SEEK_SET) == 0;
}

bool SystemFile::Truncate(std::string& error) {
  if (::ftruncate(fd_, 0) == 0) return true;
  error = ErrnoText(errno);
  return false;
}

bool SystemFile::Close(std::string& error) {
  if (fd_ < 0) return true;
  const int result = ::close(fd_);
  fd_ = -1;
  if (result == 0) return true;
  error = ErrnoText(errno);
  return false;
}

}  // namespace dalvorn

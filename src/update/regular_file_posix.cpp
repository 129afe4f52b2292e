#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "update/regular_file.h"

namespace dalvorn {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

}  // namespace

namespace {

// Opens `path` for reading so that a FIFO or a device never blocks, and checks that it is a
// regular file of at most `maxBytes`; the open descriptor is left in `fd`, the size in `size`.
bool OpenRegularFile(const std::string& path, std::uint64_t maxBytes, FileDescriptor& fd,
                     std::uint64_t& size, std::string& error) {
  // Non-blocking, so that opening a FIFO or a device returns at once; read only, so the file
  // is never created or changed.
  fd.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = DirectoryReason();
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = NotRegularFileReason();
    return false;
  }
  if (status.st_size < 0 || static_cast<std::uint64_t>(status.st_size) > maxBytes) {
    error = TooLargeReason(maxBytes);
    return false;
  }
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

}  // namespace

bool ProbeRegularFile(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size,
                      std::string& error) {
  FileDescriptor fd(-1);
  return OpenRegularFile(path, maxBytes, fd, size, error);
}

bool ReadRegularFile(const std::string& path, std::uint64_t maxBytes,
                     std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  FileDescriptor fd(-1);
  std::uint64_t size = 0;
  if (!OpenRegularFile(path, maxBytes, fd, size, error)) return false;
  // The file may still grow while it is read: never take more than the limit.
  bytes.reserve(static_cast<std::size_t>(size));
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
      error = TooLargeReason(maxBytes);
      bytes.clear();
      return false;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return true;
}

}  // namespace dalvorn

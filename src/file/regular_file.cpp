#include "file/regular_file.h"

#include "file/system_file.h"
#include "text/text_codec.h"

namespace dalvorn {

std::string TooLargeReason(std::uint64_t maxBytes) {
  return "it is larger than " + WithThousands(maxBytes) + " bytes";
}

namespace {

// Opens `path` into `file` and checks that it is a regular file of at most `maxBytes`.
bool OpenRegularFile(const std::string& path, std::uint64_t maxBytes, SystemFile& file,
                     std::string& error) {
  if (!file.OpenToRead(path, error)) return false;
  if (file.Kind() == FileKind::Directory) {
    error = DirectoryReason();
    return false;
  }
  if (file.Kind() != FileKind::Regular) {
    error = NotRegularFileReason();
    return false;
  }
  if (file.Size() > maxBytes) {
    error = TooLargeReason(maxBytes);
    return false;
  }
  return true;
}

}  // namespace

bool ProbeRegularFile(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size,
                      std::string& error) {
  SystemFile file;
  if (!OpenRegularFile(path, maxBytes, file, error)) return false;
  size = file.Size();
  return true;
}

bool ReadRegularFile(const std::string& path, std::uint64_t maxBytes,
                     std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  SystemFile file;
  if (!OpenRegularFile(path, maxBytes, file, error)) return false;
  // The file may still grow while it is read: never ask for more than one byte past the limit.
  bytes.reserve(static_cast<std::size_t>(file.Size()));
  std::vector<char> chunk(64 * 1024);
  for (;;) {
    const std::uint64_t left = maxBytes - bytes.size();
    const std::size_t want =
        left >= chunk.size() ? chunk.size() : static_cast<std::size_t>(left + 1);
    std::size_t got = 0;
    if (!file.Read(chunk.data(), want, got, error)) {
      bytes.clear();
      return false;
    }
    if (got == 0) return true;
    if (bytes.size() + got > maxBytes) {
      error = TooLargeReason(maxBytes);
      bytes.clear();
      return false;
    }
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
  }
}

}  // namespace dalvorn

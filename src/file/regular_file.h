// Reading a whole regular file without ever blocking on something that is not one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dalvorn {

// Reads the regular file at `path` (UTF-8) whole into `bytes`. It is opened so that a FIFO, a
// pipe or a device can never block the call, and refused unless it is a regular file. A file
// larger than `maxBytes` is refused without being read to its end. False with `error` set to
// the reason (the system's text for a failed open or read).
bool ReadRegularFile(const std::string& path, std::uint64_t maxBytes,
                     std::vector<std::uint8_t>& bytes, std::string& error);

// Opens the file at `path` as ReadRegularFile does and checks it the same way, but reads none of
// it: true with its size in `size` when ReadRegularFile would start reading it.
bool ProbeRegularFile(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size,
                      std::string& error);

// The reasons every system gives alike.
inline std::string DirectoryReason() {
  return "it is a directory, not a file";
}
inline std::string NotRegularFileReason() {
  return "it is not a regular file";
}
std::string TooLargeReason(std::uint64_t maxBytes);

}  // namespace dalvorn

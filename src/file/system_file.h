// A file opened through the system's own calls so that opening it never blocks: a FIFO with no
// writer or no reader, a pipe or a device returns at once, and what the file is comes from the
// open file itself, so that no rename between a look and the open can fool the caller. The
// firmware image and its signature, the trace and the tools' inputs are all opened this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dalvorn {

// What an open file is, as the system says of it.
enum class FileKind { Regular, Directory, Pipe, Other };

class SystemFile {
 public:
  SystemFile() = default;
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;
  ~SystemFile() { Close(); }

  // Opens the file at `path` (UTF-8) to read it: never created or changed. A FIFO with no writer
  // opens and reads as empty; reads from a pipe then wait for its writer as usual. False with the
  // system's reason in `error`.
  bool OpenToRead(const std::string& path, std::string& error);
  // Opens the file at `path` (UTF-8) to write it, creating it when it does not exist (private to
  // its owner on POSIX); an existing file is never emptied here. A FIFO or a pipe that nobody
  // reads fails at once; writes to one that is read then wait for its reader. `created` says
  // whether this call made the file. False with the reason in `error`.
  bool OpenToWrite(const std::string& path, bool& created, std::string& error);

  bool IsOpen() const;
  // What the open file is, and the size of a regular one, as they were at the open.
  FileKind Kind() const { return kind_; }
  std::uint64_t Size() const { return size_; }
  // Whether the file at `path` (UTF-8) is this one, however it is reached (a link, `..`, a
  // second name).
  bool IsSameFileAs(const std::string& path) const;

  // Reads up to `size` bytes; `got` is 0 at the end (also a pipe whose writer has gone).
  bool Read(char* buffer, std::size_t size, std::size_t& got, std::string& error);
  // Writes all of `data`.
  bool Write(const char* data, std::size_t size, std::string& error);
  // Reads again from the first byte (a regular file only).
  bool SeekToStart();
  // Empties the file.
  bool Truncate(std::string& error);
  // False with the reason when the system reports an error only at the close.
  bool Close(std::string& error);
  void Close() {
    std::string ignored;
    Close(ignored);
  }

 private:
  // Takes what the system says of the file just opened; closes it and fails when it cannot.
  bool Examine(std::string& error);

#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  FileKind kind_ = FileKind::Other;
  std::uint64_t size_ = 0;
};

// A write to a pipe whose reader has gone then fails with EPIPE instead of ending the process
// (POSIX; nothing to do on Windows). Called once, first thing, by the program and the runner.
void IgnoreBrokenPipes();

}  // namespace dalvorn

// The file a trace is written to, opened so that tracing can never hurt the run it records:
// opening it never blocks (a FIFO with no reader is refused at once), the firmware image and its
// signature are never taken for it however the path is spelt, an existing regular file is
// emptied only once that is known, and a new file is private to its owner (0600 on POSIX) and
// inherited by no child process. Shared by the real program and the emulated runner.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "file/system_file.h"

namespace dalvorn {

// A path given as UTF-8 text (every path the program makes is), as the file system takes it.
std::filesystem::path PathFromUtf8Text(const std::string& utf8);
// A path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

// A file the trace must never be: its path and what it is, for the message.
struct ProtectedFile {
  std::filesystem::path path;
  std::string what;  // e.g. "the firmware image"
};

// The firmware image at `imagePath` (UTF-8) and its signature beside it.
std::vector<ProtectedFile> FirmwareFiles(const std::string& imagePath);

class TraceFile {
 public:
  TraceFile() = default;
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;
  ~TraceFile() { Close(); }

  // Opens `path` for the trace, creating it when it does not exist. Refused, with nothing
  // written, created or emptied, when it is one of `protectedFiles` (the same file, also
  // through a link or `..`), a directory, or a FIFO that nobody reads. False with `error` set to
  // the reason, e.g. "it is the firmware image /opt/x/Varnholt.bin" or "ENOENT: No such file or
  // directory".
  bool Open(const std::filesystem::path& path, const std::vector<ProtectedFile>& protectedFiles,
            std::string& error);
  bool IsOpen() const { return file_.IsOpen(); }

  // Writes all of `data`, waiting while a pipe is full. False with the system's reason in
  // `error` when a write fails (EPIPE: the reader has gone, ENOSPC, EIO).
  bool Write(const char* data, std::size_t size, std::string& error) {
    return file_.Write(data, size, error);
  }
  // False with the reason when the system reports an error only at the close.
  bool Close(std::string& error) { return file_.Close(error); }
  void Close() { file_.Close(); }

 private:
  SystemFile file_;
};

// The output stream the trace writer writes its lines to: each flush writes the text buffered
// since the last. After the first failed write it writes nothing more, stays failed (badbit) and
// keeps the reason.
class TraceFileStream final : public std::ostream {
 public:
  explicit TraceFileStream(TraceFile& file);
  TraceFileStream(const TraceFileStream&) = delete;
  TraceFileStream& operator=(const TraceFileStream&) = delete;
  ~TraceFileStream() override;

  // Why the first failed write failed; empty while none has.
  const std::string& Error() const;

 private:
  class Buffer;
  std::unique_ptr<Buffer> buffer_;
};

}  // namespace dalvorn

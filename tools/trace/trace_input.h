// Reading what the emulator's tools are given (traces, scenarios) safely, whatever the file:
// only a regular file or a pipe is read, opened so that a FIFO never blocks the open; a trace is
// read one line at a time, each line limited and checked (trace_check.h) before it is parsed,
// and every fault names the file and the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file/system_file.h"
#include "trace_line.h"

namespace dalvorn::emulator {

// Bytes read in pieces, from the start, and again from the start when asked.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `buffer`; 0 at the end. Throws TraceReadError with the reason.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // Starts again from the first byte.
  virtual void Rewind() = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view text) : text_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override;
  void Rewind() override { at_ = 0; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

class StreamSource final : public ByteSource {
 public:
  explicit StreamSource(std::istream& in) : in_(in) {}
  std::size_t Read(char* buffer, std::size_t size) override;
  void Rewind() override;

 private:
  std::istream& in_;
};

// A file named on the command line. Only a regular file or a pipe (a FIFO, a shell's `<(...)`)
// is taken: a directory, a device or anything else is refused by what the system says of the
// opened file, before a byte is read. The open never blocks; a FIFO with no writer reads as
// empty. A pipe read a second time is read from a copy kept in a temporary file.
class InputFile final : public ByteSource {
 public:
  // Throws TraceReadError "PATH: REASON" when it cannot be opened or is not taken. With
  // `readTwice`, a pipe's bytes are kept for Rewind.
  explicit InputFile(const std::string& path, bool readTwice = false);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() override;

  const std::string& Path() const { return path_; }
  // The size of a regular file; none for a pipe.
  std::optional<std::uint64_t> Size() const { return size_; }

  std::size_t Read(char* buffer, std::size_t size) override;
  void Rewind() override;

 private:
  std::size_t ReadSystem(char* buffer, std::size_t size);
  bool SeekToStart();

  std::string path_;
  std::optional<std::uint64_t> size_;
  SystemFile file_;
  std::FILE* copy_ = nullptr;  // a pipe's bytes, for a second reading
  bool fromCopy_ = false;
};

// The lines of a source, one at a time, without their end ("\n" or "\r\n").
class LineReader {
 public:
  explicit LineReader(ByteSource& source) : source_(source), buffer_(64 * 1024) {}
  // False at the end. Throws TraceLineError for a line longer than MaxTraceLineBytes, without
  // reading more of it.
  bool Next(std::string& line);
  // The number of the line last returned, from 1.
  std::uint64_t Number() const { return number_; }

 private:
  ByteSource& source_;
  std::vector<char> buffer_;
  std::size_t at_ = 0, end_ = 0;
  bool ended_ = false;
  std::uint64_t number_ = 0;
};

// The lines of a trace, parsed and checked; empty lines are passed over. Every fault is a
// TraceReadError "NAME: line N: WHAT". Without `checkFields` only the shape of each line is
// checked (a normalised trace names its handles, for one).
class TraceReader {
 public:
  TraceReader(ByteSource& source, std::string name, bool checkFields = true)
      : lines_(source), name_(std::move(name)), checkFields_(checkFields) {}
  bool Next(TraceLine& line);
  // The number in the file of the line last returned.
  std::uint64_t Number() const { return lines_.Number(); }
  // How many lines have been returned.
  std::uint64_t Count() const { return count_; }
  const std::string& Name() const { return name_; }
  // A fault found in the line last returned, by whoever reads it.
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  LineReader lines_;
  std::string name_;
  std::string text_;
  bool checkFields_;
  std::uint64_t count_ = 0;
};

// Reads at most `maxBytes` of the file at `path` whole (a scenario); throws TraceReadError
// "PATH: REASON" when it cannot be read or is larger.
std::string ReadWholeInput(const std::string& path, std::uint64_t maxBytes);

}  // namespace dalvorn::emulator

// The tools' input files: opened so that the open never blocks (a FIFO with no writer does not
// hold it), judged by what the system says of the open file, then read as usual.
#include <string>

#include "trace_input.h"

namespace dalvorn::emulator {

InputFile::InputFile(const std::string& path, bool readTwice) : path_(path) {
  std::string error;
  if (!file_.OpenToRead(path, error)) throw TraceReadError(path + ": cannot be opened: " + error);
  std::string refusal;
  if (file_.Kind() == FileKind::Directory) {
    refusal = "is a directory, not a file";
  } else if (file_.Kind() == FileKind::Regular) {
    size_ = file_.Size();
  } else if (file_.Kind() != FileKind::Pipe) {
    refusal = "is neither a regular file nor a pipe";
  }
  if (refusal.empty() && !size_ && readTwice && (copy_ = std::tmpfile()) == nullptr) {
    refusal = "no temporary file to keep the pipe in";
  }
  if (!refusal.empty()) throw TraceReadError(path + ": " + refusal);
}

InputFile::~InputFile() {
  if (copy_ != nullptr) std::fclose(copy_);
}

std::size_t InputFile::ReadSystem(char* buffer, std::size_t size) {
  std::size_t got = 0;
  std::string error;
  if (!file_.Read(buffer, size, got, error)) {
    throw TraceReadError(path_ + ": cannot be read: " + error);
  }
  return got;
}

bool InputFile::SeekToStart() {
  return file_.SeekToStart();
}

}  // namespace dalvorn::emulator

// The reader of a trace who stops in the middle of an update (POSIX): the reading end of a pipe,
// read at each event pump of the program and closed at the first pump after the first data
// block.
#pragma once

#include <string>

namespace dalvorn::testing {

class ReaderWhoLeaves {
 public:
  ReaderWhoLeaves();
  ReaderWhoLeaves(const ReaderWhoLeaves&) = delete;
  ReaderWhoLeaves& operator=(const ReaderWhoLeaves&) = delete;
  ~ReaderWhoLeaves();

  // The pipe's writing end, as a path the trace is opened on.
  std::string WriteEnd() const;
  // Closes this process's own writing end, once the trace has opened its.
  void CloseWriteEnd();
  // Reads what the trace has written; leaves once a data block follows "Updating firmware".
  void AtPump();
  bool Left() const { return ends_[0] < 0; }

 private:
  int ends_[2] = {-1, -1};
  std::string read_;
};

}  // namespace dalvorn::testing

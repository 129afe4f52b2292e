#include "emulator/tracing_image_file.h"

namespace dalvorn::emulator {

bool TracingFirmwareImageFile::Open(const std::string& path, std::string& error) {
  const bool opened = inner_.Open(path, error);
  trace_.Image("open", opened ? TraceFields::object() : TraceFields{{"error", error}});
  return opened;
}

std::size_t TracingFirmwareImageFile::ReadRecord(std::uint8_t (&record)[FlashRecordSize]) {
  const std::size_t count = inner_.ReadRecord(record);
  trace_.Image("read", TraceFields{{"bytes", count}, {"eof", inner_.Eof()}});
  return count;
}

void TracingFirmwareImageFile::Close() {
  inner_.Close();
  trace_.Image("close");
}

}  // namespace dalvorn::emulator

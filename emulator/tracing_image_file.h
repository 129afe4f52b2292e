// The firmware image with every operation on it written to the trace.
#pragma once

#include "emulator/trace_writer.h"
#include "update/firmware_image.h"

namespace dalvorn::emulator {

class TracingFirmwareImageFile final : public FirmwareImageFile {
 public:
  TracingFirmwareImageFile(FirmwareImageFile& inner, TraceWriter& trace)
      : inner_(inner), trace_(trace) {}

  bool Open(const std::string& path, std::string& error) override;
  std::size_t ReadRecord(std::uint8_t (&record)[FlashRecordSize]) override;
  bool Eof() const override { return inner_.Eof(); }
  void Close() override;

 private:
  FirmwareImageFile& inner_;
  TraceWriter& trace_;
};

}  // namespace dalvorn::emulator

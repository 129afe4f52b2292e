// The firmware image with its one reading written to the trace.
#pragma once

#include "trace/trace_writer.h"
#include "update/firmware_image.h"

namespace dalvorn {

class TracingFirmwareImageFile final : public FirmwareImageFile {
 public:
  TracingFirmwareImageFile(FirmwareImageFile& inner, TraceWriter& trace)
      : inner_(inner), trace_(trace) {}

  // Writes the `image` `load` line once the reading has ended: `bytes` taken, or `error`; and
  // `signature`, "verified" or "not checked", left out when the signature was refused.
  bool Load(const std::string& path, FirmwareImage& image, std::string& error) override;
  // Not written: what the look before the click found shows in the status line.
  bool Check(const std::string& path, ImageCheck& check) override {
    return inner_.Check(path, check);
  }

 private:
  FirmwareImageFile& inner_;
  TraceWriter& trace_;
};

}  // namespace dalvorn

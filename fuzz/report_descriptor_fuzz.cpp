// libFuzzer target for the HID report descriptor parser: any input must parse or fail cleanly,
// without reading outside it, and a failure must say what and where.
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/linux/hid_report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = dalvorn::ParseReportDescriptor(std::span<const std::uint8_t>(data, size));
  if (!parsed.ok && (parsed.error.empty() || parsed.errorOffset > size)) __builtin_trap();
  // A report that exists holds at least one byte besides its report-ID byte.
  const auto& s = parsed.summary;
  for (std::uint16_t length :
       {s.inputReportByteLength, s.outputReportByteLength, s.featureReportByteLength}) {
    if (length == 1) __builtin_trap();
  }
  return 0;
}

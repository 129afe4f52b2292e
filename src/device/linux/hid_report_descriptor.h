// Reads a HID report descriptor far enough to give the report lengths that the HID class
// library reports in HIDP_CAPS: for each report type the longest report in bytes, plus one
// byte for the report ID (also when the device numbers no reports), or 0 when the device has
// no report of that type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace dalvorn {

struct ReportDescriptorSummary {
  // Usage page and usage of the first top-level collection.
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint16_t inputReportByteLength = 0;
  std::uint16_t outputReportByteLength = 0;
  std::uint16_t featureReportByteLength = 0;
  bool usesReportIds = false;
};

struct ReportDescriptorParse {
  bool ok = false;
  ReportDescriptorSummary summary;
  // When !ok: what is wrong, and the offset of the item where it was found.
  std::string error;
  std::size_t errorOffset = 0;
};

// Limits beyond which a descriptor is refused as malformed.
inline constexpr std::size_t MaxGlobalStackDepth = 16;
inline constexpr std::size_t MaxCollectionDepth = 64;
inline constexpr std::uint32_t MaxReportSizeBits = 256;
inline constexpr std::uint32_t MaxReportCount = 16384;

// Never reads outside `descriptor`. A truncated or malformed descriptor gives !ok. Items that
// the kernel's HID core skips are skipped too: main items of unknown tag (such as the zero bytes
// that pad some descriptors) and items of the reserved type, each with its data.
ReportDescriptorParse ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace dalvorn

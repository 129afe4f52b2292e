#include "device/linux/hid_report_descriptor.h"

#include <algorithm>
#include <array>
#include <vector>

namespace dalvorn {
namespace {

// Item types (bits 2..3 of the prefix).
constexpr std::uint8_t TypeMain = 0;
constexpr std::uint8_t TypeGlobal = 1;
constexpr std::uint8_t TypeLocal = 2;

// Main item tags.
constexpr std::uint8_t TagInput = 0x8;
constexpr std::uint8_t TagOutput = 0x9;
constexpr std::uint8_t TagFeature = 0xB;
constexpr std::uint8_t TagCollection = 0xA;
constexpr std::uint8_t TagEndCollection = 0xC;

// Global item tags.
constexpr std::uint8_t TagUsagePage = 0x0;
constexpr std::uint8_t TagReportSize = 0x7;
constexpr std::uint8_t TagReportId = 0x8;
constexpr std::uint8_t TagReportCount = 0x9;
constexpr std::uint8_t TagPush = 0xA;
constexpr std::uint8_t TagPop = 0xB;
constexpr std::uint8_t LastGlobalTag = TagPop;

// Local item tags.
constexpr std::uint8_t TagUsage = 0x0;

constexpr std::uint8_t LongItemPrefix = 0xFE;
// hid-core takes every prefix with this tag for a long item, and refuses the descriptor.
constexpr std::uint8_t LongItemTag = 0xF;
constexpr std::uint8_t CollectionApplication = 0x01;

// Longest report that HIDP_CAPS can describe, report-ID byte included.
constexpr std::uint32_t MaxReportBytes = 0xFFFF;

enum ReportType : std::size_t { Input = 0, Output = 1, Feature = 2 };

struct GlobalState {
  std::uint16_t usagePage = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
};

class Parser {
 public:
  explicit Parser(std::span<const std::uint8_t> d) : d_(d) {}

  ReportDescriptorParse Run() {
    ReportDescriptorParse out;
    while (pos_ < d_.size()) {
      itemOffset_ = pos_;
      if (!Step()) {
        out.error = error_;
        out.errorOffset = itemOffset_;
        return out;
      }
    }
    if (depth_ != 0) {
      itemOffset_ = d_.size();
      Fail("collection not closed at the end of the descriptor");
      out.error = error_;
      out.errorOffset = itemOffset_;
      return out;
    }
    out.ok = true;
    out.summary = summary_;
    out.summary.usesReportIds = usesReportIds_;
    out.summary.inputReportByteLength = LongestReport(Input);
    out.summary.outputReportByteLength = LongestReport(Output);
    out.summary.featureReportByteLength = LongestReport(Feature);
    return out;
  }

 private:
  bool Fail(const char* what) {
    error_ = what;
    return false;
  }

  bool Step() {
    const std::uint8_t prefix = d_[pos_];
    if (prefix == LongItemPrefix) {
      // Long items carry no meaning for report lengths: skip them whole.
      if (d_.size() - pos_ < 3) return Fail("long item truncated");
      const std::size_t dataSize = d_[pos_ + 1];
      if (d_.size() - pos_ - 3 < dataSize) return Fail("long item data truncated");
      pos_ += 3 + dataSize;
      return true;
    }
    const std::size_t sizeCode = prefix & 0x3u;
    const std::size_t size = sizeCode == 3 ? 4 : sizeCode;
    const std::uint8_t type = (prefix >> 2) & 0x3u;
    const std::uint8_t tag = prefix >> 4;
    // Of the prefixes with the long item tag, 0xFE is skipped above and the local ones are read
    // as short local items; the others are neither, and hid-core refuses them too.
    if (tag == LongItemTag && type != TypeLocal) return Fail("malformed long item");
    if (d_.size() - pos_ - 1 < size) return Fail("item data truncated");
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
      value |= static_cast<std::uint32_t>(d_[pos_ + 1 + i]) << (8 * i);
    }
    pos_ += 1 + size;
    switch (type) {
      case TypeMain:
        return Main(tag, value);
      case TypeGlobal:
        return Global(tag, value, size);
      case TypeLocal:
        return Local(tag, value, size);
      default:
        // Type 3 is reserved; vendors put their own items there. Skipped with their data and
        // leaving the local items alone, as hid-core does.
        return true;
    }
  }

  bool Main(std::uint8_t tag, std::uint32_t value) {
    bool ok = true;
    switch (tag) {
      case TagInput:
        ok = AddField(Input);
        break;
      case TagOutput:
        ok = AddField(Output);
        break;
      case TagFeature:
        ok = AddField(Feature);
        break;
      case TagCollection:
        if (depth_ >= MaxCollectionDepth) return Fail("collections nested too deeply");
        if (depth_ == 0 && !sawTopLevel_ && (value & 0xFFu) == CollectionApplication) {
          sawTopLevel_ = true;
          summary_.usagePage = firstUsageHasPage_ ? firstUsagePage_ : global_.usagePage;
          summary_.usage = firstUsage_;
        }
        ++depth_;
        break;
      case TagEndCollection:
        if (depth_ == 0) return Fail("end of collection without a collection");
        --depth_;
        break;
      default:
        // Unknown tags, among them the zero bytes that pad some descriptors, are skipped as
        // hid-core skips them; like any main item they still end the local items before them.
        break;
    }
    // Local items apply to the next main item only.
    haveUsage_ = false;
    firstUsage_ = 0;
    firstUsageHasPage_ = false;
    return ok;
  }

  bool Global(std::uint8_t tag, std::uint32_t value, std::size_t size) {
    switch (tag) {
      case TagUsagePage:
        global_.usagePage = static_cast<std::uint16_t>(value);
        return true;
      case TagReportSize:
        if (value > MaxReportSizeBits) return Fail("report size too large");
        global_.reportSize = value;
        return true;
      case TagReportId:
        if (size == 0 || value == 0 || value > 0xFF) return Fail("invalid report ID");
        global_.reportId = static_cast<std::uint8_t>(value);
        usesReportIds_ = true;
        return true;
      case TagReportCount:
        if (value > MaxReportCount) return Fail("report count too large");
        global_.reportCount = value;
        return true;
      case TagPush:
        if (stack_.size() >= MaxGlobalStackDepth) return Fail("global item stack overflow");
        stack_.push_back(global_);
        return true;
      case TagPop:
        if (stack_.empty()) return Fail("pop without push");
        global_ = stack_.back();
        stack_.pop_back();
        return true;
      default:
        // Logical and physical extents, unit and unit exponent do not change lengths.
        if (tag > LastGlobalTag) return Fail("unknown global item");
        return true;
    }
  }

  bool Local(std::uint8_t tag, std::uint32_t value, std::size_t size) {
    if (tag == TagUsage && !haveUsage_) {
      haveUsage_ = true;
      firstUsage_ = static_cast<std::uint16_t>(value);
      // A 4-byte usage carries its own usage page in the high half.
      firstUsageHasPage_ = size == 4;
      firstUsagePage_ = static_cast<std::uint16_t>(value >> 16);
    }
    return true;
  }

  bool AddField(ReportType type) {
    std::uint32_t& bits = bits_[type][global_.reportId];
    const std::uint64_t total =
        static_cast<std::uint64_t>(bits) +
        static_cast<std::uint64_t>(global_.reportSize) * global_.reportCount;
    // The report's bytes plus its report-ID byte must fit in 16 bits.
    if ((total + 7) / 8 + 1 > MaxReportBytes) return Fail("report too long");
    bits = static_cast<std::uint32_t>(total);
    return true;
  }

  std::uint16_t LongestReport(ReportType type) const {
    std::uint32_t longestBits = 0;
    bool any = false;
    for (std::uint32_t b : bits_[type]) {
      longestBits = std::max(longestBits, b);
      any = any || b != 0;
    }
    if (!any) return 0;
    return static_cast<std::uint16_t>((longestBits + 7) / 8 + 1);
  }

  std::span<const std::uint8_t> d_;
  std::size_t pos_ = 0;
  std::size_t itemOffset_ = 0;
  std::string error_;
  GlobalState global_;
  std::vector<GlobalState> stack_;
  std::size_t depth_ = 0;
  bool usesReportIds_ = false;
  bool sawTopLevel_ = false;
  bool haveUsage_ = false;
  bool firstUsageHasPage_ = false;
  std::uint16_t firstUsage_ = 0;
  std::uint16_t firstUsagePage_ = 0;
  ReportDescriptorSummary summary_;
  // Bits per report type and report ID (0: the device numbers no reports).
  std::array<std::array<std::uint32_t, 256>, 3> bits_{};
};

}  // namespace

ReportDescriptorParse ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  return Parser(descriptor).Run();
}

}  // namespace dalvorn

// Report lengths of known descriptors. Every expected length below was counted by hand from the
// items (bits of every main item of the type, per report, rounded up to whole bytes, plus the
// report-ID byte), not taken from the parser.
#include "device/linux/hid_report_descriptor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dalvorn {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct LengthCase {
  const char* name;
  Bytes descriptor;
  std::uint16_t input, output, feature;
  std::uint16_t usagePage, usage;
  bool usesReportIds;
};

// Boot keyboard: input 8 modifier bits + 8 reserved bits + 6 keys x 8 bits = 64 bits = 8 bytes;
// output 5 LED bits + 3 padding bits = 1 byte.
const Bytes Keyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// Boot mouse: 3 button bits + 5 padding bits + X and Y of 8 bits = 24 bits = 3 bytes; the
// application collection's usage is Mouse (2), not the nested Pointer (1).
const Bytes Mouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
                     0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
                     0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
                     0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

// Vendor feature report without report IDs: 40 x 8 bits = 40 bytes.
const Bytes VendorNoIds = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02, 0x15, 0x00,
                           0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x28, 0xB1, 0x02, 0xC0};

// Report 1: 8 feature bytes; report 2: 63 feature bytes (count 0x3F, size inherited);
// report 3: 3 input bytes.
const Bytes VendorWithIds = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0x75,
                             0x08, 0x95, 0x08, 0xB1, 0x02, 0x85, 0x02, 0x09, 0x02, 0x95, 0x3F, 0xB1,
                             0x02, 0x85, 0x03, 0x09, 0x03, 0x95, 0x03, 0x81, 0x02, 0xC0};

// Push keeps size 8 / count 16; 4 bits under size 1 / count 4; Pop restores 8 x 16 = 128 bits:
// 132 bits = 16.5 bytes, so 17.
const Bytes PushPop = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x10,
                       0xA4, 0x75, 0x01, 0x95, 0x04, 0xB1, 0x02, 0xB4, 0xB1, 0x02, 0xC0};

// Report 5: 3 fields of 4 bits, and after the Pop (report ID 5 and size 4 again) one more:
// 16 bits = 2 bytes. Report 6, between Push and Pop: 1 byte.
const Bytes OddBitsWithIds = {0x85, 0x05, 0x75, 0x04, 0x95, 0x03, 0xB1, 0x02,
                              0xA4, 0x85, 0x06, 0x75, 0x08, 0x95, 0x01, 0xB1,
                              0x02, 0xB4, 0x95, 0x01, 0xB1, 0x02};  // report 5 again: 4 more bits

// A long item is skipped; then 2 feature bytes.
const Bytes LongItem = {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x02, 0xB1, 0x02};

// Report Count with 4 data bytes: 256 x 8 bits = 256 bytes; usage with its own page 0xFFA0.
const Bytes WideItems = {0x0B, 0x01, 0x00, 0xA0, 0xFF, 0xA1, 0x01, 0x75, 0x08,
                         0x97, 0x00, 0x01, 0x00, 0x00, 0xB1, 0x02, 0xC0};

// 3 x 16384 + 16382 = 65534 bytes: the longest report that fits, 65535 with its ID byte.
const Bytes Longest = {0x75, 0x08, 0x96, 0x00, 0x40, 0xB1, 0x02, 0xB1,
                       0x02, 0xB1, 0x02, 0x96, 0xFE, 0x3F, 0xB1, 0x02};

Bytes WithSuffix(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// Padded to 32 bytes with zeros (main items of tag 0): still 41 feature bytes.
const Bytes PaddedVendor = WithSuffix(VendorNoIds, Bytes(11, 0x00));

// Vendor items whose data would be Feature items if read at the wrong size: reserved-type items
// of 0 and 4 data bytes (the usage before them still names the collection), unknown main tags
// 0xD and 0xE of 2 and 1 data bytes. Only the 4 x 8 bits Feature counts: 5 bytes.
const Bytes VendorItems = {0x06, 0x00, 0xFF, 0x75, 0x08, 0x95, 0x04, 0x09, 0x01,
                           0x0C, 0x0F, 0xB1, 0x02, 0xB1, 0x02, 0xA1, 0x01, 0xD2,
                           0xB1, 0x02, 0xB1, 0x02, 0xE1, 0xB1, 0xC0, 0x00, 0x00};

// A zero between Usage and Collection is a main item, which ends the usage: usage 0.
const Bytes ZeroAfterUsage = {0x06, 0x00, 0xFF, 0x09, 0x07, 0x00, 0xA1, 0x01,
                              0x75, 0x08, 0x95, 0x02, 0xB1, 0x02, 0xC0};

// F9 is read as a local item of one data byte (B1), as before; then 1 feature byte.
const Bytes LocalTag15 = {0xF9, 0xB1, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02};

const std::vector<LengthCase> LengthCases = {
    {"keyboard", Keyboard, 9, 2, 0, 0x01, 0x06, false},
    {"mouse", Mouse, 4, 0, 0, 0x01, 0x02, false},
    {"vendor_without_ids", VendorNoIds, 0, 0, 41, 0xFF00, 0x01, false},
    {"vendor_with_ids", VendorWithIds, 4, 0, 64, 0xFF00, 0x01, true},
    {"push_pop", PushPop, 0, 0, 18, 0xFF00, 0x01, false},
    {"odd_bits_with_ids", OddBitsWithIds, 0, 0, 3, 0, 0, true},
    {"long_item", LongItem, 0, 0, 3, 0, 0, false},
    {"wide_items", WideItems, 0, 0, 257, 0xFFA0, 0x01, false},
    {"longest", Longest, 0, 0, 65535, 0, 0, false},
    {"empty", {}, 0, 0, 0, 0, 0, false},
    {"trailing_zeros", PaddedVendor, 0, 0, 41, 0xFF00, 0x01, false},
    {"only_zeros", Bytes(8, 0x00), 0, 0, 0, 0, 0, false},
    {"vendor_items", VendorItems, 0, 0, 5, 0xFF00, 0x01, false},
    {"zero_after_usage", ZeroAfterUsage, 0, 0, 3, 0xFF00, 0, false},
    {"local_item_of_tag_15", LocalTag15, 0, 0, 2, 0, 0, false},
};

void PrintTo(const LengthCase& c, std::ostream* os) {
  *os << c.name;
}

class ReportLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(ReportLengths, MatchHandCount) {
  const LengthCase& c = GetParam();
  const auto r = ParseReportDescriptor(c.descriptor);
  ASSERT_TRUE(r.ok) << r.error << " at " << r.errorOffset;
  EXPECT_EQ(r.summary.inputReportByteLength, c.input);
  EXPECT_EQ(r.summary.outputReportByteLength, c.output);
  EXPECT_EQ(r.summary.featureReportByteLength, c.feature);
  EXPECT_EQ(r.summary.usagePage, c.usagePage);
  EXPECT_EQ(r.summary.usage, c.usage);
  EXPECT_EQ(r.summary.usesReportIds, c.usesReportIds);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, ReportLengths, ::testing::ValuesIn(LengthCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct MalformedCase {
  const char* name;
  Bytes descriptor;
  std::size_t errorOffset;
};

Bytes Repeat(std::uint8_t byte, std::size_t n) {
  return Bytes(n, byte);
}

const std::vector<MalformedCase> MalformedCases = {
    {"one_byte_item_without_data", {0x05}, 0},
    {"two_byte_item_with_one", {0x75, 0x08, 0x26, 0xFF}, 2},
    {"four_byte_item_with_three", {0x97, 0x00, 0x01, 0x00}, 0},
    {"long_item_header_cut", {0xFE, 0x01}, 0},
    {"long_item_data_cut", {0xFE, 0x05, 0x00, 0x01}, 0},
    {"pop_without_push", {0x75, 0x08, 0xB4}, 2},
    {"push_overflow", Repeat(0xA4, MaxGlobalStackDepth + 1), MaxGlobalStackDepth},
    {"end_collection_alone", {0xC0}, 0},
    {"collection_left_open", {0xA1, 0x01, 0x75, 0x08}, 4},
    {"report_id_zero", {0x85, 0x00}, 0},
    {"report_id_above_255", {0x86, 0x00, 0x01}, 0},
    {"report_id_without_data", {0x84}, 0},
    {"report_size_257", {0x76, 0x01, 0x01}, 0},
    {"report_count_16385", {0x96, 0x01, 0x40}, 0},
    {"report_one_byte_too_long", WithSuffix(Longest, {0x95, 0x01, 0xB1, 0x02}), Longest.size() + 2},
    {"reserved_item_cut", {0x0E, 0x01}, 0},
    {"unknown_main_item_cut", {0x75, 0x08, 0x03, 0x00, 0x00}, 2},
    {"zeros_inside_open_collection", {0xA1, 0x01, 0x00, 0x00}, 4},
    {"main_item_of_tag_15", {0xF0}, 0},
    {"reserved_item_of_tag_15", {0x75, 0x08, 0xFF, 0x00, 0x00, 0x00, 0x00}, 2},
    {"unknown_global_item", {0x75, 0x08, 0xC4}, 2},
    {"collections_too_deep", Repeat(0xA0, MaxCollectionDepth + 1), MaxCollectionDepth},
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
  *os << c.name;
}

class Malformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, FailsAtTheOffendingItem) {
  const MalformedCase& c = GetParam();
  const auto r = ParseReportDescriptor(c.descriptor);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(r.errorOffset, c.errorOffset) << r.error;
}

INSTANTIATE_TEST_SUITE_P(Descriptors, Malformed, ::testing::ValuesIn(MalformedCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// A descriptor cut inside an item fails; one cut between items parses or fails cleanly. Each
// prefix lives in a buffer of its own exact size, so a read past it is caught by ASan.
TEST(TruncatedDescriptors, CutInsideAnItemFails) {
  // Where the keyboard descriptor's items start, counted from their size codes.
  std::vector<bool> boundary(Keyboard.size() + 1, false);
  for (std::size_t i = 0; i < Keyboard.size();) {
    boundary[i] = true;
    const std::size_t code = Keyboard[i] & 3u;
    i += 1 + (code == 3 ? 4 : code);
  }
  boundary[Keyboard.size()] = true;
  constexpr std::size_t CollectionOpened = 6;  // after 05 01 09 06 A1 01
  for (std::size_t n = 0; n < Keyboard.size(); ++n) {
    const Bytes prefix(Keyboard.begin(), Keyboard.begin() + static_cast<std::ptrdiff_t>(n));
    const auto r = ParseReportDescriptor(prefix);
    if (!boundary[n]) {
      EXPECT_FALSE(r.ok) << "prefix " << n;
      EXPECT_EQ(r.error, "item data truncated") << "prefix " << n;
    } else {
      EXPECT_EQ(r.ok, n < CollectionOpened) << "prefix " << n << ": " << r.error;
    }
  }
}

}  // namespace
}  // namespace dalvorn

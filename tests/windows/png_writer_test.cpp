// The screenshot's PNG encoding, read back with a small reader of stored deflate blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "win32/png_writer.h"

namespace dalvorn::win32 {
namespace {

std::uint32_t Big32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

struct Chunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

// Splits a PNG file into its chunks, checking every chunk's CRC on the way.
std::vector<Chunk> ReadChunks(const std::vector<std::uint8_t>& file) {
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_GE(file.size(), 8u);
  EXPECT_EQ(std::memcmp(file.data(), signature, 8), 0);
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = Big32(&file[at]);
    const std::uint8_t* type = &file[at + 4];
    EXPECT_LE(at + 12 + length, file.size());
    EXPECT_EQ(Big32(type + 4 + length), Crc32(type, 4 + length));
    chunks.push_back({std::string(type, type + 4), {type + 4, type + 4 + length}});
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size());
  return chunks;
}

// The bytes of a zlib stream made only of stored blocks; checks the Adler-32 at its end.
std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& z) {
  EXPECT_EQ(((z[0] << 8) | z[1]) % 31, 0);
  std::vector<std::uint8_t> out;
  std::size_t at = 2;
  for (bool last = false; !last;) {
    last = (z[at] & 1) != 0;
    EXPECT_EQ(z[at] & 6, 0) << "not a stored block";
    const unsigned n = z[at + 1] | (z[at + 2] << 8);
    EXPECT_EQ(n ^ 0xFFFFu, unsigned(z[at + 3] | (z[at + 4] << 8)));
    out.insert(out.end(), z.begin() + static_cast<std::ptrdiff_t>(at + 5),
               z.begin() + static_cast<std::ptrdiff_t>(at + 5 + n));
    at += 5 + n;
  }
  EXPECT_EQ(Big32(&z[at]), Adler32(out.data(), out.size()));
  EXPECT_EQ(at + 4, z.size());
  return out;
}

TEST(ChecksumTest, KnownValues) {
  const struct {
    std::string text;
    std::uint32_t crc, adler;
  } cases[] = {
      {"", 0x00000000u, 0x00000001u},
      {"123456789", 0xCBF43926u, 0x091E01DEu},
      {"Wikipedia", 0xADAAC02Eu, 0x11E60398u},
      {"IEND", 0xAE426082u, 0x02D70121u},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.text.data());
    EXPECT_EQ(Crc32(bytes, c.text.size()), c.crc) << c.text;
    EXPECT_EQ(Adler32(bytes, c.text.size()), c.adler) << c.text;
  }
}

class EncodePngTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(EncodePngTest, DecodesToTheSamePixels) {
  const auto [width, height] = GetParam();
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u & 0xFFFFFFu);
  }
  const std::vector<Chunk> chunks = ReadChunks(EncodePng(width, height, pixels));
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  ASSERT_EQ(chunks[0].data.size(), 13u);
  EXPECT_EQ(Big32(&chunks[0].data[0]), unsigned(width));
  EXPECT_EQ(Big32(&chunks[0].data[4]), unsigned(height));
  EXPECT_EQ(chunks[0].data[8], 8);  // bits per channel
  EXPECT_EQ(chunks[0].data[9], 2);  // RGB

  const std::vector<std::uint8_t> raw = Inflate(chunks[1].data);
  const std::size_t stride = 1 + 3 * static_cast<std::size_t>(width);
  ASSERT_EQ(raw.size(), stride * height);
  for (int y = 0; y < height; ++y) {
    ASSERT_EQ(raw[y * stride], 0) << "row " << y;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = &raw[y * stride + 1 + 3 * x];
      const std::uint32_t rgb = (std::uint32_t{p[0]} << 16) | (p[1] << 8) | p[2];
      ASSERT_EQ(rgb, pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFFu) << x << "," << y;
    }
  }
}

// 361 x 201 takes more than one stored block (at most 65535 bytes each).
INSTANTIATE_TEST_SUITE_P(Sizes, EncodePngTest,
                         ::testing::Values(std::pair{1, 1}, std::pair{3, 2}, std::pair{361, 201},
                                           std::pair{21845, 1}, std::pair{21846, 1}));

TEST(WritePngTest, RefusesAnImageWithTooFewPixels) {
  EXPECT_FALSE(WritePng("unused.png", 2, 2, std::vector<std::uint32_t>(3)));
  EXPECT_FALSE(WritePng("unused.png", 0, 2, {}));
}

}  // namespace
}  // namespace dalvorn::win32

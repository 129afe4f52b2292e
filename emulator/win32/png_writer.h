// A PNG file of 8-bit RGB pixels, written without a compression library: the image data
// goes into stored (uncompressed) deflate blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dalvorn::win32 {

// CRC-32 (ISO 3309, as PNG chunks use it) of `size` bytes.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);
// Adler-32 (as zlib streams end with it).
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size);

// The PNG file of a `width` x `height` image; `pixels` are 0xAARRGGBB, top row first (alpha
// is dropped).
std::vector<std::uint8_t> EncodePng(int width, int height,
                                    const std::vector<std::uint32_t>& pixels);

// Writes EncodePng's bytes to `path`; false when the file cannot be written.
bool WritePng(const std::string& path, int width, int height,
              const std::vector<std::uint32_t>& pixels);

}  // namespace dalvorn::win32

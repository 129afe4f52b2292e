// Screenshots of a window's client area, taken by the program itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dalvorn {

// Pixels of a screenshot, top row first, each 0xAARRGGBB.
struct ClientImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The client area of a top-level window (an HWND) as it is on screen, its children included.
ClientImage CaptureClientArea(void* window);

}  // namespace dalvorn

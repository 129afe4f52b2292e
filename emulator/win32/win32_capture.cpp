#include "win32/win32_capture.h"

#include <windows.h>

namespace dalvorn {

ClientImage CaptureClientArea(void* handle) {
  HWND window = static_cast<HWND>(handle);
  RECT client;
  ClientImage image;
  if (!::GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return image;
  image.width = client.right;
  image.height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC source = ::GetDCEx(window, nullptr, DCX_CACHE);  // children included
  HDC memory = ::CreateCompatibleDC(source);
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, image.width, image.height, source, 0, 0, SRCCOPY | CAPTUREBLT);
  ::GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  image.pixels.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height);
  for (std::uint32_t& p : image.pixels) p |= 0xFF000000u;
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(window, source);
  return image;
}

}  // namespace dalvorn

// close_window.exe: waits until the program's main window is on screen, prints the text of
// each of its controls, and closes it as its close box does (WM_SYSCOMMAND, SC_CLOSE). For the
// scripts that run the real program under Wine.
//
//   close_window.exe [SECONDS] [screenshot.png]
//
// Prints one line per control, `name=[text]`. With a second argument it first saves the
// window's client area as a PNG. Exits 1 when no window came up within SECONDS (default 30).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/win32/win32_window_view.h"
#include "ui/window_controls.h"
#include "win32/png_writer.h"
#include "win32/win32_capture.h"

#include <windows.h>

namespace {

void PrintControlTexts(HWND window) {
  for (const dalvorn::ControlLayout& row : dalvorn::MainWindowLayout) {
    HWND parent = window;
    if (row.container == dalvorn::Control::DeviceFrame) {
      parent = ::GetDlgItem(window, dalvorn::ControlId(dalvorn::Control::DeviceFrame));
    }
    HWND control = ::GetDlgItem(parent, dalvorn::ControlId(row.control));
    char text[256] = {};
    if (control != nullptr) ::GetWindowTextA(control, text, sizeof text);
    std::printf("%.*s=[%s]%s\n", static_cast<int>(row.name.size()), row.name.data(), text,
                control == nullptr ? " (missing)" : "");
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  HWND window = nullptr;
  for (int waited = 0; waited < seconds * 10; ++waited) {
    window = ::FindWindowW(dalvorn::MainWindowClassName, nullptr);
    if (window != nullptr && ::IsWindowVisible(window)) break;
    window = nullptr;
    ::Sleep(100);
  }
  if (window == nullptr) {
    std::fprintf(stderr, "close_window: no program window within %d s\n", seconds);
    return 1;
  }
  ::Sleep(500);  // let the load finish painting
  PrintControlTexts(window);
  if (argc > 2) {
    const dalvorn::ClientImage image = dalvorn::CaptureClientArea(window);
    if (!dalvorn::win32::WritePng(argv[2], image.width, image.height, image.pixels)) {
      std::fprintf(stderr, "close_window: cannot save %s\n", argv[2]);
    }
  }
  ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  return 0;
}

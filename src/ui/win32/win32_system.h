// Small pieces of the Win32 window layer: the DPI functions of newer systems, text
// conversion and the picture-box window class. Include after windows.h.
#pragma once

#include <string>
#include <string_view>

namespace dalvorn::win32 {

// Makes the process per-monitor DPI aware (v2 where the system has it). The program's
// manifest says the same; this covers executables without one (the tests).
void EnableDpiAwareness();

// The DPI of the monitor that shows `window`, 96 on systems without per-monitor DPI.
UINT WindowDpi(HWND window);

// The outer size of a window with `style` whose client area is `client` pixels at `dpi`.
SIZE OuterSize(SIZE client, DWORD style, DWORD exStyle, int dpi);

// A system metric at `dpi` (icon sizes).
int MetricForDpi(int index, int dpi);

// The window's font for `language` (text/translation.h), 9 pt at `dpi`: "MS Sans Serif" for
// English and the languages whose letters its code page has (on a scaled screen, where that
// face's bitmap sizes cannot give the height, the nearest outline face that can); otherwise an
// outline face that has the language's letters: "Microsoft Sans Serif" (Polish, the
// pseudo-language), "Yu Gothic UI" (Japanese), "Microsoft YaHei UI" (Chinese), or the next
// the system has of a few of the kind (Noto Sans CJK where Wine takes Debian's fonts).
HFONT CreateWindowFont(int dpi, std::string_view language);

std::wstring Utf8ToWide(const std::string& text);

// "DalvornPictureBox": a plain child window filled with one colour, the picture boxes
// ProgressTrack (the trough) and ProgressFill (the bar).
extern const wchar_t PictureBoxClass[];
void RegisterPictureBoxClass(HINSTANCE instance);
// Colour of a picture box: an RGB value, or the dialog background when `systemFace` is set.
void SetPictureBoxColour(HWND box, COLORREF colour, bool systemFace);

}  // namespace dalvorn::win32

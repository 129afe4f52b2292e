// Twips to pixels for the native window: the layout table is in twips, the window in pixels
// of the monitor it is on.
#pragma once

#include <string_view>

#include "ui/window_controls.h"

namespace dalvorn::win32 {

inline constexpr int DefaultDpi = 96;
inline constexpr int TwipsPerInch = 1440;
inline constexpr int FontPoints = 9;
inline constexpr std::wstring_view FontFace = L"MS Sans Serif";

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// A place in twips, as the window keeps it (widths are set as single-precision twips).
struct TwipsRect {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

// The nearest whole pixel at `dpi` dots per inch (halves away from zero); negative sizes
// become 0.
int TwipsToPixels(float twips, int dpi);
PixelRect ToPixels(const TwipsRect& twips, int dpi);

// The font height to ask the system for: negative, the character height in pixels.
int FontHeight(int points, int dpi);

// The design-time place of a control (the window: its client area at the origin).
TwipsRect DesignRect(Control control);

// The caption of the label on the same row of the same container: what names a value label.
std::string_view CaptionOfRow(Control valueLabel);

// Controls, the window included, for tables indexed by Control.
using ::dalvorn::ControlCount;

}  // namespace dalvorn::win32

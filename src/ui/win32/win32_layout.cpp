#include "ui/win32/win32_layout.h"

#include <cmath>

namespace dalvorn::win32 {

int TwipsToPixels(float twips, int dpi) {
  if (!(twips > 0.0f)) return 0;
  const double pixels = static_cast<double>(twips) * dpi / TwipsPerInch;
  return static_cast<int>(std::lround(pixels));
}

PixelRect ToPixels(const TwipsRect& twips, int dpi) {
  // Edges are rounded, not sizes, so that neighbours in twips stay neighbours in pixels.
  const auto edge = [dpi](float t) {
    return static_cast<int>(std::lround(static_cast<double>(t) * dpi / TwipsPerInch));
  };
  PixelRect r;
  r.left = edge(twips.left);
  r.top = edge(twips.top);
  r.width = twips.width > 0.0f ? edge(twips.left + twips.width) - r.left : 0;
  r.height = twips.height > 0.0f ? edge(twips.top + twips.height) - r.top : 0;
  if (r.width < 0) r.width = 0;
  if (r.height < 0) r.height = 0;
  return r;
}

int FontHeight(int points, int dpi) {
  return -static_cast<int>(std::lround(static_cast<double>(points) * dpi / 72.0));
}

TwipsRect DesignRect(Control control) {
  if (control == Control::frmMain) {
    return {0, 0, static_cast<float>(ClientWidthTwips), static_cast<float>(ClientHeightTwips)};
  }
  const ControlLayout* row = FindLayout(control);
  if (row == nullptr) return {};
  return {static_cast<float>(row->left), static_cast<float>(row->top),
          static_cast<float>(row->width), static_cast<float>(row->height)};
}

std::string_view CaptionOfRow(Control valueLabel) {
  const ControlLayout* value = FindLayout(valueLabel);
  if (value == nullptr) return {};
  for (const ControlLayout& row : MainWindowLayout) {
    if (row.container == value->container && row.top == value->top && row.control != valueLabel &&
        !row.caption.empty()) {
      return row.caption;
    }
  }
  return {};
}

}  // namespace dalvorn::win32

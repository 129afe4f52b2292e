// Nothing cut, in the native window: every text of every language, the pseudo-language's
// included, measured with GetTextExtentPoint32W in the font the window gives its controls for
// the language (under Wine: its own "MS Sans Serif" and Tahoma, and Debian's Noto Sans CJK JP
// and SC for Japanese and Chinese), against the control that shows it, with a glyph for every
// letter (the status line wrapped with DrawTextW as its static control wraps it); the title in
// the system's caption font. A message box is laid out by the system, which wraps its text and
// grows it.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "shown_texts.h"
#include "text/translation.h"
#include "ui/win32/win32_system.h"
#include "ui/win32/win32_window_view.h"

namespace dalvorn {
namespace {

// The text in the font `control` draws with (`font` if given): its size in pixels, and how
// many of its characters the font has no glyph for.
struct Measured {
  SIZE size{};
  int missing = 0;
};

// The text wrapped at word boundaries in `control`'s width, as a static control draws it.
SIZE MeasureWrapped(HWND control, const std::string& text) {
  HDC dc = ::GetDC(control);
  HGDIOBJ previous =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  const std::wstring wide = win32::Utf8ToWide(text);
  RECT r{};
  ::GetClientRect(control, &r);
  r.bottom = 100000;
  ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
  ::SelectObject(dc, previous);
  ::ReleaseDC(control, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

Measured Measure(HWND control, const std::string& text, HFONT font = nullptr) {
  if (font == nullptr) font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  HDC dc = ::GetDC(control);
  HGDIOBJ previous = ::SelectObject(dc, font);
  const std::wstring wide = win32::Utf8ToWide(text);
  const int length = static_cast<int>(wide.size());
  Measured m;
  ::GetTextExtentPoint32W(dc, wide.c_str(), length, &m.size);
  std::vector<WORD> glyphs(wide.size());
  ::GetGlyphIndicesW(dc, wide.c_str(), length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  for (WORD glyph : glyphs) m.missing += glyph == 0xffff ? 1 : 0;
  ::SelectObject(dc, previous);
  ::ReleaseDC(control, dc);
  return m;
}

class Win32TextFitTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(UseLanguage(GetParam())); }
  void TearDown() override { UseLanguage(""); }
};

TEST_P(Win32TextFitTest, EveryTextFitsItsControl) {
  Win32WindowView view;
  HWND window = static_cast<HWND>(view.Window());
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  HFONT captionFont = ::CreateFontIndirectW(&metrics.lfCaptionFont);
  // The title bar beside the title: the icon, three buttons (minimize, a disabled maximize,
  // close) and the frame's edges.
  RECT outer{};
  ::GetWindowRect(window, &outer);
  const int titleRoom = (outer.right - outer.left) - ::GetSystemMetrics(SM_CXSMICON) -
                        3 * ::GetSystemMetrics(SM_CXSIZE) - 4 * ::GetSystemMetrics(SM_CXFRAME);
  for (const ShownText& shown : EveryShownText()) {
    SCOPED_TRACE(shown.text);
    if (shown.where == ShownText::Where::Title) {
      EXPECT_LE(Measure(window, shown.text, captionFont).size.cx, titleRoom);
    } else if (shown.where == ShownText::Where::Control) {
      HWND control = static_cast<HWND>(view.ControlWindow(shown.control));
      const Measured m = Measure(control, shown.text);
      RECT room{};
      ::GetClientRect(control, &room);
      // A push button draws its text inside its bevel and focus rectangle.
      const int margin =
          shown.control == Control::btnUpgradeFW ? 4 * ::GetSystemMetrics(SM_CXEDGE) : 0;
      EXPECT_LE(m.size.cx + margin, room.right);
      EXPECT_LE(m.size.cy, room.bottom);
      EXPECT_EQ(m.missing, 0);  // no box in place of a letter
    } else if (shown.where == ShownText::Where::StatusLine) {
      HWND line = static_cast<HWND>(view.ControlWindow(shown.control));
      RECT room{};
      ::GetClientRect(line, &room);
      const SIZE needed = MeasureWrapped(line, shown.text);
      EXPECT_LE(needed.cx, room.right);
      EXPECT_LE(needed.cy, room.bottom);
      EXPECT_EQ(Measure(line, shown.text).missing, 0);
    }
  }
  ::DeleteObject(captionFont);
}

INSTANTIATE_TEST_SUITE_P(Languages, Win32TextFitTest, ::testing::ValuesIn(LanguagesToMeasure()),
                         [](const auto& instance) { return LanguageTestName(instance.param); });

}  // namespace
}  // namespace dalvorn

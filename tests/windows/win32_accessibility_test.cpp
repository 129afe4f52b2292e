// The native window's keyboard use and the window at 144 and 192 DPI (needs a display); what
// screen readers read is checked from another process by read_accessibility.exe. With
// DALVORN_SCREENSHOTS set (a folder), the DPI test saves win32-100.png, win32-150.png and
// win32-200.png there.
#include <windows.h>
#undef MessageBox

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "status_line_samples.h"
#include "ui/win32/win32_accessible.h"
#include "ui/win32/win32_layout.h"
#include "ui/win32/win32_system.h"
#include "ui/win32/win32_window_view.h"
#include "win32/png_writer.h"
#include "win32/win32_window_driver.h"

namespace dalvorn {
namespace {

class CountingEvents final : public WindowEvents {
 public:
  void Form_Unload() override { ++unloads; }
  void btnUpgradeFW_Click() override { ++clicks; }
  int unloads = 0, clicks = 0;
};

class Win32AccessibilityTest : public ::testing::Test {
 protected:
  Win32AccessibilityTest() { view_.SetEvents(&events_); }
  ~Win32AccessibilityTest() override { view_.SetEvents(nullptr); }
  HWND Main() const { return static_cast<HWND>(view_.Window()); }
  HWND Of(Control c) const { return static_cast<HWND>(view_.ControlWindow(c)); }

  Win32WindowView view_;
  CountingEvents events_;
};

TEST(Win32ProgressPercentTest, RoundsWithinZeroToHundred) {
  const struct {
    float width;
    int percent;
  } cases[] = {{0.0f, 0},     {-5.0f, 0},    {25.0f, 0},     {25.3f, 1},
               {2527.5f, 50}, {4999.0f, 99}, {5055.0f, 100}, {9000.0f, 100}};
  for (const auto& c : cases) EXPECT_EQ(win32::PercentOfWidth(c.width, 5055.0f), c.percent);
  EXPECT_EQ(win32::PercentOfWidth(100.0f, 0.0f), 0);
}

TEST_F(Win32AccessibilityTest, EnterAndSpacePressTheFocusedButtonAndAltF4Closes) {
  view_.Show();
  HWND button = Of(Control::btnUpgradeFW);
  ASSERT_EQ(::GetFocus(), button);
  EXPECT_EQ(::GetNextDlgTabItem(Main(), button, FALSE), button);  // the only tab stop
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
    ::PostMessageW(button, WM_KEYDOWN, key, 1);
    ::PostMessageW(button, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    view_.PumpEvents();
  }
  EXPECT_EQ(events_.clicks, 2);
  view_.SetEnabled(Control::btnUpgradeFW, false);
  ::PostMessageW(Main(), WM_KEYDOWN, VK_RETURN, 1);
  view_.PumpEvents();
  EXPECT_EQ(events_.clicks, 2);
  // Alt+F4: the system's close, as the close box.
  ::PostMessageW(Main(), WM_SYSKEYDOWN, VK_F4, static_cast<LPARAM>(0x20000001u));
  view_.PumpEvents();
  EXPECT_TRUE(view_.Unloaded());
  EXPECT_EQ(events_.unloads, 1);
}

// The character height of a control's font as drawn, in pixels.
int DrawnCharacterHeight(HWND control) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return metrics.tmHeight - metrics.tmInternalLeading;
}

// The height that `text` takes in a control's font, wrapped at its width.
int WrappedHeight(HWND control, const std::wstring& text) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT r;
  ::GetClientRect(control, &r);
  r.bottom = 10000;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return r.bottom - r.top;
}

// Text that must fit a control in its font at the window's DPI.
bool Fits(HWND control, const std::wstring& text, int margin) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  RECT r;
  ::GetClientRect(control, &r);
  return size.cx + margin <= r.right && metrics.tmHeight <= r.bottom;
}

TEST_F(Win32AccessibilityTest, AtEveryDpiTheWindowScalesAndNothingIsClipped) {
  view_.Show();
  const char* values[] = {" Dalvorn", " Widget", " 1.2", " 0001"};
  for (std::size_t i = 0; i < ValueLabels.size(); ++i) view_.SetCaption(ValueLabels[i], values[i]);
  view_.SetVisible(Control::ProgressFill, true);
  view_.SetWidth(Control::ProgressFill, 5055.0f * 0.6f);
  view_.SetEnabled(Control::btnUpgradeFW, false);
  view_.SetCaption(Control::btnUpgradeFW, "Updating firmware...");
  view_.SetCaption(Control::lblStatus, "Keep the device connected until the update has finished.");
  const char* folder = std::getenv("DALVORN_SCREENSHOTS");
  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    RECT suggested{20, 20, 20 + 800, 20 + 500};
    ::SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(view_.Dpi(), dpi);
    // The font as drawn scales with the screen: 9 points at this DPI, within a pixel.
    EXPECT_NEAR(DrawnCharacterHeight(Of(Control::SerialNumberCaption)), -win32::FontHeight(9, dpi),
                1);
    for (const ControlLayout& row : MainWindowLayout) {
      if (row.caption.empty() || row.control == Control::UnusedLoadButton) continue;
      SCOPED_TRACE(std::string(row.name));
      const std::wstring caption(row.caption.begin(), row.caption.end());
      EXPECT_TRUE(Fits(Of(row.control), caption, 0));
    }
    for (const wchar_t* caption : {L"Upgrade Firmware", L"Switching to bootloader...",
                                   L"Updating firmware...", L"Finishing..."}) {
      EXPECT_TRUE(Fits(Of(Control::btnUpgradeFW), caption, 8)) << caption;
    }
    // The status line: every text within its lines, wrapped at word boundaries.
    RECT line;
    ::GetClientRect(Of(Control::lblStatus), &line);
    for (const std::string& text : testing::StatusLineSamples()) {
      EXPECT_LE(WrappedHeight(Of(Control::lblStatus), win32::Utf8ToWide(text)), line.bottom)
          << text;
    }
    const ClientImage shot = emulator::GrabClientArea(view_);
    const win32::PixelRect client = win32::ToPixels(win32::DesignRect(Control::frmMain), dpi);
    ASSERT_EQ(shot.width, client.width);
    ASSERT_EQ(shot.height, client.height);
    // The bar's light blue covers 60 % of its full width at this DPI.
    const win32::PixelRect full = win32::ToPixels(win32::DesignRect(Control::ProgressFill), dpi);
    int blue = 0;
    for (int x = 0; x < shot.width; ++x)
      blue += shot.At(x, full.top + full.height / 2) == 0xFF8080FFu;
    EXPECT_NEAR(blue, full.width * 0.6, 1.0);
    EXPECT_EQ(win32::ProgressPercent(Of(Control::ProgressFill)), 60);
    if (folder != nullptr) {
      const std::string path =
          std::string(folder) + "\\win32-" + std::to_string(dpi * 100 / 96) + ".png";
      EXPECT_TRUE(win32::WritePng(path, shot.width, shot.height, shot.pixels)) << path;
    }
  }
}

}  // namespace
}  // namespace dalvorn

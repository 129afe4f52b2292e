// The native window laid out, drawn and driven through its messages (needs a display).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_box_gate.h"
#include "ui/win32/win32_layout.h"
#include "ui/win32/win32_window_view.h"
#include "win32/win32_window_driver.h"

#include <windows.h>
#undef MessageBox

namespace dalvorn {
namespace {

class RecordingEvents final : public WindowEvents {
 public:
  void Form_Unload() override { calls.push_back("unload"); }
  void btnUpgradeFW_Click() override { calls.push_back("click"); }
  std::vector<std::string> calls;
};

class Win32WindowTest : public ::testing::Test {
 protected:
  Win32WindowTest() { view_.SetEvents(&events_); }

  HWND Main() const { return static_cast<HWND>(view_.Window()); }
  HWND Of(Control c) const { return static_cast<HWND>(view_.ControlWindow(c)); }

  // The control's rectangle in its container's client coordinates.
  win32::PixelRect PlaceOf(Control c) const {
    RECT r;
    ::GetWindowRect(Of(c), &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Of(c)), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }

  std::wstring TextOf(Control c) const {
    wchar_t text[256] = {};
    ::GetWindowTextW(Of(c), text, 256);
    return text;
  }

  Win32WindowView view_;
  RecordingEvents events_;
};

TEST_F(Win32WindowTest, ClientAreaIsLaidOutFromTwipsAtTheWindowsDpi) {
  view_.Show();
  RECT client;
  ::GetClientRect(Main(), &client);
  const win32::PixelRect expected =
      win32::ToPixels(win32::DesignRect(Control::frmMain), view_.Dpi());
  EXPECT_EQ(client.right, expected.width);
  EXPECT_EQ(client.bottom, expected.height);
  if (view_.Dpi() == win32::DefaultDpi) {
    EXPECT_EQ(client.right, 361);
    EXPECT_EQ(client.bottom, 226);
  }
}

TEST_F(Win32WindowTest, EveryControlHasItsPlaceContainerAndCaption) {
  view_.Show();
  for (const ControlLayout& row : MainWindowLayout) {
    SCOPED_TRACE(std::string(row.name));
    EXPECT_EQ(::GetParent(Of(row.control)),
              row.container == Control::DeviceFrame ? Of(Control::DeviceFrame) : Main());
    EXPECT_EQ(PlaceOf(row.control), win32::ToPixels(win32::DesignRect(row.control), view_.Dpi()));
    EXPECT_EQ(TextOf(row.control), std::wstring(row.caption.begin(), row.caption.end()));
  }
  EXPECT_EQ(TextOf(Control::frmMain), L"Firmware Update");
}

TEST_F(Win32WindowTest, DesignStateOfTheControls) {
  view_.Show();
  const struct {
    Control control;
    bool visible, enabled;
  } cases[] = {
      {Control::DeviceFrame, true, false},        {Control::ProgressTrack, true, true},
      {Control::ProgressFill, true, true},        {Control::btnUpgradeFW, true, true},
      {Control::UnusedLoadButton, false, true},   {Control::lblManuf, true, true},
      {Control::SerialNumberCaption, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(ControlName(c.control)));
    EXPECT_EQ(::IsWindowVisible(Of(c.control)) != FALSE, c.visible);
    EXPECT_EQ(::IsWindowEnabled(Of(c.control)) != FALSE, c.enabled);
  }
  EXPECT_NE(::GetWindowLongW(Of(Control::ProgressTrack), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(::GetWindowLongW(Of(Control::ProgressFill), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
}

TEST_F(Win32WindowTest, StackingAndTabOrderFollowTheTabIndex) {
  // Siblings in the client area from the top of the stacking order down.
  std::vector<HWND> order;
  for (HWND w = ::GetWindow(Main(), GW_CHILD); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT)) {
    order.push_back(w);
  }
  const std::vector<HWND> expected = {Of(Control::DeviceFrame),      Of(Control::btnUpgradeFW),
                                      Of(Control::UnusedLoadButton), Of(Control::ProgressFill),
                                      Of(Control::ProgressTrack),    Of(Control::lblStatus)};
  EXPECT_EQ(order, expected);
  // The keyboard reaches only the upgrade button; the hidden load button is skipped.
  view_.Show();
  EXPECT_EQ(::GetFocus(), Of(Control::btnUpgradeFW));
  EXPECT_EQ(::GetNextDlgTabItem(Main(), Of(Control::btnUpgradeFW), FALSE),
            Of(Control::btnUpgradeFW));
}

TEST_F(Win32WindowTest, FontIsMsSansSerifNinePoints) {
  // Every control that shows text: the labels, the frame and both buttons.
  for (const ControlLayout& row : MainWindowLayout) {
    if (row.control == Control::ProgressTrack || row.control == Control::ProgressFill) continue;
    SCOPED_TRACE(std::string(row.name));
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Of(row.control), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf{};
    ASSERT_NE(::GetObjectW(font, sizeof lf, &lf), 0);
    EXPECT_STREQ(lf.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(lf.lfHeight, win32::FontHeight(9, view_.Dpi()));
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
    EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
  }
}

TEST_F(Win32WindowTest, PicIsDrawnLightBlueOverTheTroughWhenShown) {
  view_.Show();
  const win32::PixelRect bar = PlaceOf(Control::ProgressFill);
  const std::uint32_t lightBlue = 0xFF8080FFu;
  ClientImage shot = emulator::GrabClientArea(view_);
  ASSERT_EQ(shot.width, win32::ToPixels(win32::DesignRect(Control::frmMain), view_.Dpi()).width);
  EXPECT_EQ(shot.At(bar.left + 1, bar.top + 1), lightBlue);

  view_.SetVisible(Control::ProgressFill, false);
  shot = emulator::GrabClientArea(view_);
  EXPECT_NE(shot.At(bar.left + 1, bar.top + 1), lightBlue);

  view_.SetVisible(Control::ProgressFill, true);
  view_.SetWidth(Control::ProgressFill, 5055.0f / 2);
  view_.Repaint(Control::ProgressFill);
  shot = emulator::GrabClientArea(view_);
  const int half = win32::ToPixels({180, 1920, 5055.0f / 2, 75}, view_.Dpi()).width;
  EXPECT_EQ(shot.At(bar.left + half - 1, bar.top + 1), lightBlue);
  EXPECT_NE(shot.At(bar.left + half + 1, bar.top + 1), lightBlue);
}

// A system colour as a screenshot pixel.
std::uint32_t Pixel(int systemColour) {
  const COLORREF c = ::GetSysColor(systemColour);
  return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

TEST_F(Win32WindowTest, ValueLabelsHaveTheWindowColourOnTheDialogBackground) {
  view_.SetCaption(Control::lblManuf, " Dalvorn");
  view_.Show();
  const ClientImage shot = emulator::GrabClientArea(view_);
  const win32::PixelRect frame = PlaceOf(Control::DeviceFrame);
  for (Control c : ValueLabels) {
    SCOPED_TRACE(std::string(ControlName(c)));
    const win32::PixelRect label = PlaceOf(c);
    const int right = frame.left + label.left + label.width - 2;
    const int bottom = frame.top + label.top + label.height - 2;
    EXPECT_EQ(shot.At(right, bottom), Pixel(COLOR_WINDOW));
    // Between the caption label and the value label the frame's inside shows.
    EXPECT_EQ(shot.At(frame.left + label.left - 3, frame.top + label.top + 2),
              Pixel(COLOR_BTNFACE));
  }
  EXPECT_EQ(TextOf(Control::lblManuf), L" Dalvorn");
}

TEST_F(Win32WindowTest, MovingToAMonitorOfAnotherDpiLaysTheWindowOutAgain) {
  view_.Show();
  view_.SetWidth(Control::ProgressFill, 2527.5f);
  for (int dpi : {144, 120, 96}) {
    SCOPED_TRACE(dpi);
    RECT suggested{40, 30, 40 + 600, 30 + 400};
    ::SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(view_.Dpi(), dpi);
    RECT client;
    ::GetClientRect(Main(), &client);
    const win32::PixelRect expected = win32::ToPixels(win32::DesignRect(Control::frmMain), dpi);
    EXPECT_EQ(client.right, expected.width);
    EXPECT_EQ(client.bottom, expected.height);
    EXPECT_EQ(PlaceOf(Control::btnUpgradeFW),
              win32::ToPixels(win32::DesignRect(Control::btnUpgradeFW), dpi));
    EXPECT_EQ(PlaceOf(Control::ProgressFill), win32::ToPixels({180, 1920, 2527.5f, 75}, dpi));
    EXPECT_EQ(view_.Width(Control::ProgressFill), 2527.5f);
    LOGFONTW lf{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Of(Control::lblManuf), WM_GETFONT, 0, 0)),
                 sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, win32::FontHeight(9, dpi));
    RECT window;
    ::GetWindowRect(Main(), &window);
    EXPECT_EQ(window.left, suggested.left);
    EXPECT_EQ(window.top, suggested.top);
  }
}

TEST_F(Win32WindowTest, WidthIsKeptInTwipsAndPlacedInPixels) {
  EXPECT_EQ(view_.Width(Control::ProgressFill), 5055.0f);
  const float widths[] = {0.0f, 1.0f, 101.1f, 2527.5f, 5055.0f};
  for (float w : widths) {
    view_.SetWidth(Control::ProgressFill, w);
    EXPECT_EQ(view_.Width(Control::ProgressFill), w);
    EXPECT_EQ(PlaceOf(Control::ProgressFill), win32::ToPixels({180, 1920, w, 75}, view_.Dpi()))
        << w;
  }
}

TEST_F(Win32WindowTest, CaptionsTakeUtf8) {
  view_.SetCaption(Control::lblProduct, " Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(TextOf(Control::lblProduct), L" Caf\u00E9 \u20AC");
  view_.SetCaption(Control::btnUpgradeFW, "Updating firmware...");
  EXPECT_EQ(TextOf(Control::btnUpgradeFW), L"Updating firmware...");
}

TEST_F(Win32WindowTest, ClicksReachTheHandlerOnlyWhileTheButtonIsEnabled) {
  view_.Show();
  emulator::ClickUpgradeButton(view_);
  view_.SetEnabled(Control::btnUpgradeFW, false);
  emulator::ClickUpgradeButton(view_);
  ::SendMessageW(Of(Control::btnUpgradeFW), BM_CLICK, 0, 0);
  view_.SetEnabled(Control::btnUpgradeFW, true);
  ::PostMessageW(Main(), WM_COMMAND,
                 MAKEWPARAM(::GetDlgCtrlID(Of(Control::btnUpgradeFW)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(Of(Control::btnUpgradeFW)));
  EXPECT_EQ(events_.calls.size(), 1u);
  view_.PumpEvents();  // the posted click is handled here
  EXPECT_EQ(events_.calls, (std::vector<std::string>{"click", "click"}));
}

TEST_F(Win32WindowTest, CloseBoxUnloadsOnceAndEndsTheMessageLoop) {
  view_.Show();
  ::PostMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);  // what the close box sends
  view_.RunMessageLoop();
  EXPECT_TRUE(view_.Unloaded());
  EXPECT_FALSE(::IsWindowVisible(Main()));
  emulator::CloseAsCloseBox(view_);
  view_.Unload();
  emulator::ClickUpgradeButton(view_);
  EXPECT_EQ(events_.calls, std::vector<std::string>{"unload"});
}

TEST_F(Win32WindowTest, UnloadDuringAPumpLeavesTheEndForTheMessageLoop) {
  view_.Show();
  view_.Unload();
  view_.PumpEvents();
  view_.PumpEvents();
  EXPECT_TRUE(view_.Unloaded());
  view_.RunMessageLoop();  // returns: the quit request survived the pumps
  EXPECT_EQ(events_.calls, std::vector<std::string>{"unload"});
}

// The message boxes this thread shows while one is watched: each is counted and closed at once,
// as OK pressed, so that a box that should not be shown fails the test instead of waiting.
class MessageBoxWatch {
 public:
  MessageBoxWatch() {
    shown_ = 0;
    hook_ = ::SetWindowsHookExW(WH_CBT, &Activated, nullptr, ::GetCurrentThreadId());
  }
  ~MessageBoxWatch() { ::UnhookWindowsHookEx(hook_); }
  int Shown() const { return hook_ != nullptr ? shown_ : -1; }

 private:
  static LRESULT CALLBACK Activated(int code, WPARAM wParam, LPARAM lParam) {
    wchar_t name[16] = {};
    if (code == HCBT_ACTIVATE && ::GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16) > 0 &&
        std::wstring(name) == L"#32770") {
      ++shown_;
      ::PostMessageW(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDOK, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline int shown_ = 0;
  HHOOK hook_;
};

TEST_F(Win32WindowTest, ADismissedMessageBoxNeverReachesTheWindow) {
  view_.Show();
  for (const bool dismissed : {true, false}) {
    MessageBoxWatch watch;
    emulator::MessageBoxGate gate(view_);
    gate.SetDismissed(dismissed);
    gate.MessageBox("Run-time error '53':\n\nFile not found");
    EXPECT_EQ(watch.Shown(), dismissed ? 0 : 1) << (dismissed ? "dismissed" : "shown");
  }
}

TEST(Win32WindowLifetimeTest, AnUnloadNoLoopTookDoesNotEndTheNextWindow) {
  {
    Win32WindowView first;
    first.Unload();
  }
  Win32WindowView second;
  ::PostMessageW(static_cast<HWND>(second.Window()), WM_CLOSE, 0, 0);
  second.RunMessageLoop();
  EXPECT_TRUE(second.Unloaded());
}

}  // namespace
}  // namespace dalvorn

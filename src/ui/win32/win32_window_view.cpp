#include "ui/win32/win32_window_view.h"

#include <windows.h>
#undef MessageBox  // the view's operation, not the system's macro

#include <algorithm>

#include "ui/win32/win32_accessible.h"
#include "ui/win32/win32_system.h"

namespace dalvorn {
namespace {

constexpr const wchar_t* MainWindowClass = MainWindowClassName;
constexpr int AppIconId = 1;  // the icon resource of the executable
constexpr DWORD MainStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD MainExStyle = 0;

HWND AsWindow(void* handle) {
  return static_cast<HWND>(handle);
}

HINSTANCE Instance() {
  return ::GetModuleHandleW(nullptr);
}

Win32WindowView* ViewOf(HWND window) {
  return reinterpret_cast<Win32WindowView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  Win32WindowView* view = ViewOf(window);
  if (view == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return view->HandleMessage(window, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ViewOf(window)->HandleFrameMessage(message, wParam, lParam);
}

HICON LoadAppIcon(int size) {
  HANDLE icon = ::LoadImageW(Instance(), MAKEINTRESOURCEW(AppIconId), IMAGE_ICON, size, size,
                             LR_DEFAULTCOLOR | LR_SHARED);
  if (icon == nullptr) icon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  return static_cast<HICON>(icon);
}

void RegisterMainWindowClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = Instance();
  wc.hIcon = LoadAppIcon(::GetSystemMetrics(SM_CXICON));
  wc.hIconSm = LoadAppIcon(::GetSystemMetrics(SM_CXSMICON));
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = MainWindowClass;
  ::RegisterClassExW(&wc);  // fails harmlessly when the class is already registered
}

struct ControlKind {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};

ControlKind KindOf(Control control) {
  constexpr DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
  constexpr DWORD label = child | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
  switch (control) {
    case Control::DeviceFrame:  // takes no input
      return {L"BUTTON", child | WS_VISIBLE | WS_DISABLED | BS_GROUPBOX, WS_EX_CONTROLPARENT};
    case Control::ProgressTrack:  // the sunken trough
      return {win32::PictureBoxClass, child | WS_VISIBLE, WS_EX_CLIENTEDGE};
    case Control::ProgressFill:
      return {win32::PictureBoxClass, child | WS_VISIBLE, 0};
    case Control::btnUpgradeFW:
      return {L"BUTTON", child | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case Control::UnusedLoadButton:  // never shown
      return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
    default:
      return {L"STATIC", label, 0};
  }
}

}  // namespace

Win32WindowView::Win32WindowView() {
  win32::EnableDpiAwareness();
  RegisterMainWindowClass();
  win32::RegisterPictureBoxClass(Instance());
  for (int i = 0; i < win32::ControlCount; ++i) {
    places_[static_cast<std::size_t>(i)] = win32::DesignRect(static_cast<Control>(i));
  }
  const std::wstring caption = win32::Utf8ToWide(ShownWindowCaption());
  HWND window =
      ::CreateWindowExW(MainExStyle, MainWindowClass, caption.c_str(), MainStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 400, 300, nullptr, nullptr, Instance(), this);
  windows_[Index(Control::frmMain)] = window;
  CreateControls();
  ApplyDpi(static_cast<int>(win32::WindowDpi(window)));
}

Win32WindowView::~Win32WindowView() {
  if (windows_[0] != nullptr) ::DestroyWindow(AsWindow(windows_[0]));
  if (font_ != nullptr) ::DeleteObject(static_cast<HFONT>(font_));
  if (quitPending_) {
    // The quit request of an unload that no message loop took: it must not end the next one.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
    }
  }
}

void Win32WindowView::CreateControls() {
  HWND window = AsWindow(windows_[0]);
  std::vector<const ControlLayout*> rows;
  for (const ControlLayout& row : MainWindowLayout) rows.push_back(&row);
  std::sort(rows.begin(), rows.end(), [](const ControlLayout* a, const ControlLayout* b) {
    return a->tabIndex < b->tabIndex;
  });
  HWND above = HWND_TOP;
  for (const ControlLayout* row : rows) {
    const ControlKind kind = KindOf(row->control);
    HWND parent = row->container == Control::DeviceFrame
                      ? AsWindow(windows_[Index(Control::DeviceFrame)])
                      : window;
    const std::wstring text = win32::Utf8ToWide(ShownCaption(*row));
    const auto id = static_cast<INT_PTR>(ControlId(row->control));
    HWND control =
        ::CreateWindowExW(kind.exStyle, kind.windowClass, text.c_str(), kind.style, 0, 0, 0, 0,
                          parent, reinterpret_cast<HMENU>(id), Instance(), nullptr);
    windows_[Index(row->control)] = control;
    if (parent == window) {
      // Stacking follows tab order, first on top, so the bar lies above its trough.
      ::SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      above = control;
    }
  }
  win32::SetPictureBoxColour(AsWindow(windows_[Index(Control::ProgressTrack)]), 0, true);
  win32::SetPictureBoxColour(AsWindow(windows_[Index(Control::ProgressFill)]),
                             RGB(ProgressFillRed, ProgressFillGreen, ProgressFillBlue), false);
  // The frame hands the value labels' colour requests on to the window.
  HWND frame = AsWindow(windows_[Index(Control::DeviceFrame)]);
  ::SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  frameProc_ = ::SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProc));
  // What screen readers read.
  for (Control label : ValueLabels) {
    win32::MakeAccessible(AsWindow(windows_[Index(label)]), win32::AccessibleKind::ValueLabel,
                          win32::Utf8ToWide(Tr(win32::CaptionOfRow(label))));
  }
  HWND bar = AsWindow(windows_[Index(Control::ProgressFill)]);
  // The bar's accessible name: it shows no text of its own.
  // TRANSLATORS: the progress bar's name, for screen readers.
  win32::MakeAccessible(bar, win32::AccessibleKind::ProgressBar, win32::Utf8ToWide(Tr("Progress")));
  win32::MakeAccessible(AsWindow(windows_[Index(Control::btnUpgradeFW)]),
                        win32::AccessibleKind::PushButton, {});
  win32::MakeAccessible(AsWindow(windows_[Index(Control::lblStatus)]),
                        win32::AccessibleKind::StatusLine, {});
}

void Win32WindowView::ApplyDpi(int dpi) {
  dpi_ = dpi;
  HFONT font = win32::CreateWindowFont(dpi, CurrentLanguage());
  for (int i = 1; i < win32::ControlCount; ++i) {
    const auto control = static_cast<Control>(i);
    ::SendMessageW(AsWindow(windows_[Index(control)]), WM_SETFONT, reinterpret_cast<WPARAM>(font),
                   FALSE);
    PlaceControl(control);
  }
  if (font_ != nullptr) ::DeleteObject(static_cast<HFONT>(font_));
  font_ = font;
  ResizeWindowToClient(nullptr);
  ::InvalidateRect(AsWindow(windows_[0]), nullptr, TRUE);
}

void Win32WindowView::PlaceControl(Control control) {
  if (control == Control::frmMain) {
    ResizeWindowToClient(nullptr);
    return;
  }
  const win32::PixelRect r = win32::ToPixels(places_[Index(control)], dpi_);
  ::SetWindowPos(AsWindow(windows_[Index(control)]), nullptr, r.left, r.top, r.width, r.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32WindowView::ResizeWindowToClient(const void* suggestedRect) {
  HWND window = AsWindow(windows_[0]);
  const win32::PixelRect client = win32::ToPixels(places_[0], dpi_);
  SIZE outer = win32::OuterSize({client.width, client.height}, MainStyle, MainExStyle, dpi_);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  POINT at{0, 0};
  if (suggestedRect != nullptr) {
    at = {static_cast<const RECT*>(suggestedRect)->left,
          static_cast<const RECT*>(suggestedRect)->top};
  } else {
    flags |= SWP_NOMOVE;
  }
  ::SetWindowPos(window, nullptr, at.x, at.y, outer.cx, outer.cy, flags);
  // The frame the system drew may differ from the one computed (a title bar not yet scaled
  // to the new DPI): correct by what the client area missed.
  RECT got;
  ::GetClientRect(window, &got);
  if (got.right != client.width || got.bottom != client.height) {
    outer.cx += client.width - got.right;
    outer.cy += client.height - got.bottom;
    ::SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, flags | SWP_NOMOVE);
  }
}

void Win32WindowView::SetEvents(WindowEvents* events) {
  events_ = events;
}

void Win32WindowView::Show() {
  HWND window = AsWindow(windows_[0]);
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetForegroundWindow(window);
  ::SetFocus(AsWindow(windows_[Index(Control::btnUpgradeFW)]));
  ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

float Win32WindowView::Width(Control control) const {
  return places_[Index(control)].width;
}

void Win32WindowView::SetWidth(Control control, float twips) {
  places_[Index(control)].width = twips;
  PlaceControl(control);
  if (control == Control::ProgressFill) {
    win32::SetProgressPercent(AsWindow(windows_[Index(control)]),
                              win32::PercentOfWidth(twips, win32::DesignRect(control).width));
  }
}

void Win32WindowView::SetVisible(Control control, bool visible) {
  ::ShowWindow(AsWindow(windows_[Index(control)]), visible ? SW_SHOWNA : SW_HIDE);
}

void Win32WindowView::SetEnabled(Control control, bool enabled) {
  HWND target = AsWindow(windows_[Index(control)]);
  ::EnableWindow(target, enabled ? TRUE : FALSE);
  // A disabled button let go of the focus; enabled again in the active window, it takes it
  // back when nothing else holds it, so that the keyboard reaches it at once.
  HWND window = AsWindow(windows_[0]);
  if (enabled && control == Control::btnUpgradeFW && ::GetActiveWindow() == window &&
      (::GetFocus() == nullptr || ::GetFocus() == window)) {
    ::SetFocus(target);
  }
}

void Win32WindowView::SetCaption(Control control, const std::string& text) {
  HWND target = AsWindow(windows_[Index(control)]);
  ::SetWindowTextW(target, win32::Utf8ToWide(text).c_str());
  // A value label's text is its accessible value; the status line's its name, announced.
  if (IsValueLabel(control)) win32::NotifyValueChanged(target);
  if (control == Control::lblStatus) win32::NotifyNameChanged(target);
}

void Win32WindowView::Repaint(Control control) {
  HWND target = AsWindow(windows_[Index(control)]);
  ::RedrawWindow(target, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  // What moving or resizing it uncovered is painted now too.
  ::RedrawWindow(AsWindow(windows_[0]), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

namespace {

void Dispatch(HWND window, MSG& msg) {
  if (::IsDialogMessageW(window, &msg)) return;  // keyboard: tab, space on the button
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

}  // namespace

void Win32WindowView::PumpEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The window was unloaded: leave the request for the message loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(AsWindow(windows_[0]), msg);
  }
}

void Win32WindowView::RunMessageLoop() {
  MSG msg;
  while (!unloaded_ || quitPending_) {
    if (!HandleNextEvent(INFINITE)) {
      // The quit request: taken off the queue here, once.
      if (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) quitPending_ = false;
      break;
    }
  }
}

bool Win32WindowView::HandleNextEvent(std::uint32_t milliseconds) {
  MSG msg;
  for (;;) {
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));  // left for the message loop
        return false;
      }
      Dispatch(AsWindow(windows_[0]), msg);
      return true;
    }
    // Nothing waits: sleep until a message or the handle wakes the thread, never polling.
    HANDLE handle = static_cast<HANDLE>(watchedHandle_);
    const DWORD count = handle != nullptr ? 1 : 0;
    const DWORD woken = ::MsgWaitForMultipleObjectsEx(
        count, count != 0 ? &handle : nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (count != 0 && woken == WAIT_OBJECT_0) {
      if (signalled_) signalled_();
      return true;
    }
    if (woken != WAIT_OBJECT_0 + count) return false;  // the time is up, or the wait failed
  }
}

void Win32WindowView::WatchHandle(void* handle, std::function<void()> signalled) {
  watchedHandle_ = handle;
  signalled_ = std::move(signalled);
}

void Win32WindowView::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  if (events_ != nullptr) events_->Form_Unload();
  ::ShowWindow(AsWindow(windows_[0]), SW_HIDE);
  quitPending_ = true;
  ::PostQuitMessage(0);
}

void Win32WindowView::MessageBox(const std::string& text) {
  const std::wstring title = win32::Utf8ToWide(ShownApplicationName());
  HWND owner = unloaded_ ? nullptr : AsWindow(windows_[0]);
  ::MessageBoxW(owner, win32::Utf8ToWide(text).c_str(), title.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

std::intptr_t Win32WindowView::HandleMessage(void* handle, unsigned message, std::uintptr_t wParam,
                                             std::intptr_t lParam) {
  HWND window = AsWindow(handle);  // also before CreateWindowExW has returned it
  if (hook_ && windows_[0] != nullptr && hook_(message, wParam, lParam)) return 0;
  switch (message) {
    case WM_COMMAND: {
      HWND button = AsWindow(windows_[Index(Control::btnUpgradeFW)]);
      // Enter, when the dialog manager finds no default button to press: the focused one.
      const bool enter = LOWORD(wParam) == IDOK && ::GetFocus() == button;
      // Only an enabled button delivers clicks, whatever reached the queue before it changed.
      if ((enter ||
           (LOWORD(wParam) == ControlId(Control::btnUpgradeFW) && HIWORD(wParam) == BN_CLICKED)) &&
          events_ != nullptr && !unloaded_ && ::IsWindowEnabled(button)) {
        events_->btnUpgradeFW_Click();
      }
      return 0;
    }
    case DM_GETDEFID: {
      // Enter presses the upgrade button while it has the focus, as in a dialog.
      if (windows_[0] == nullptr) break;
      HWND button = AsWindow(windows_[Index(Control::btnUpgradeFW)]);
      if (::GetFocus() != button) return 0;
      return MAKELRESULT(ControlId(Control::btnUpgradeFW), DC_HASDEFID);
    }
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lParam);
      for (Control label : ValueLabels) {
        if (control != AsWindow(windows_[Index(label)])) continue;
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    }
    case WM_SETFOCUS: {
      if (windows_[0] == nullptr) break;
      HWND button = AsWindow(windows_[Index(Control::btnUpgradeFW)]);
      if (::IsWindowEnabled(button)) ::SetFocus(button);
      return 0;
    }
    case WM_DPICHANGED:
      if (windows_[0] == nullptr) break;
      ApplyDpi(HIWORD(wParam));
      ResizeWindowToClient(reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      Unload();  // the close box
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

std::intptr_t Win32WindowView::HandleFrameMessage(unsigned message, std::uintptr_t wParam,
                                                  std::intptr_t lParam) {
  HWND frame = AsWindow(windows_[Index(Control::DeviceFrame)]);
  if (message == WM_CTLCOLORSTATIC) {
    return ::SendMessageW(::GetParent(frame), message, wParam, lParam);
  }
  if (message == WM_ERASEBKGND) {
    // A group box paints only its border and caption, and the window clips its children:
    // the frame fills its inside itself, behind the labels.
    RECT client;
    ::GetClientRect(frame, &client);
    ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  return ::CallWindowProcW(reinterpret_cast<WNDPROC>(frameProc_), frame, message, wParam, lParam);
}

}  // namespace dalvorn

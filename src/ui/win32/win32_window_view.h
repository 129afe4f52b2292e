// The main window drawn with the native Win32 controls.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/win32/win32_layout.h"
#include "ui/window_view.h"

namespace dalvorn {

// The window's class name and the id of each control's child window, for tools that find the
// window from outside (the scripts that close the real program).
inline constexpr wchar_t MainWindowClassName[] = L"DalvornFrmMain";
inline constexpr int ControlId(Control control) {
  return 100 + static_cast<int>(control);
}

class Win32WindowView final : public WindowView {
 public:
  // Creates the window and its controls, hidden, at the DPI of the monitor it will open on.
  Win32WindowView();
  ~Win32WindowView() override;
  Win32WindowView(const Win32WindowView&) = delete;
  Win32WindowView& operator=(const Win32WindowView&) = delete;

  void SetEvents(WindowEvents* events) override;
  void Show() override;
  float Width(Control control) const override;
  void SetWidth(Control control, float twips) override;
  void SetVisible(Control control, bool visible) override;
  void SetEnabled(Control control, bool enabled) override;
  void SetCaption(Control control, const std::string& text) override;
  void Repaint(Control control) override;
  void PumpEvents() override;
  void Unload() override;
  void MessageBox(const std::string& text) override;

  // Handles the window's messages until it has been unloaded.
  void RunMessageLoop();
  // Waits up to `milliseconds` (0xFFFFFFFF: for ever) for a message or the watched handle, and
  // handles what came: a message dispatched, the handle's `signalled` run. False when nothing
  // came in time or the quit request came (it is then left for the message loop).
  bool HandleNextEvent(std::uint32_t milliseconds);
  bool Unloaded() const { return unloaded_; }

  // What a watch of the system adds to the window (win32_idle_watch.h): `hook` sees each
  // message of the main window first and returns true for one it has handled; `signalled` runs
  // from the message loop each time `handle` (a waitable HANDLE) is signalled. Empty or null
  // to stop.
  using MessageHook =
      std::function<bool(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)>;
  void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }
  void WatchHandle(void* handle, std::function<void()> signalled);

  // The native windows (HWND values), for whatever acts on the window from outside its
  // behaviour: the emulated runner's clicks and screenshots, the tests.
  void* Window() const { return windows_[0]; }
  void* ControlWindow(Control control) const { return windows_[Index(control)]; }
  int Dpi() const { return dpi_; }

  // The window procedures; public for the window classes only.
  std::intptr_t HandleMessage(void* window, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam);
  std::intptr_t HandleFrameMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  static std::size_t Index(Control control) { return static_cast<std::size_t>(control); }
  void CreateControls();
  void ApplyDpi(int dpi);
  void PlaceControl(Control control);
  void ResizeWindowToClient(const void* suggestedRect);

  std::array<void*, win32::ControlCount> windows_{};  // HWND of each control
  std::array<win32::TwipsRect, win32::ControlCount> places_{};
  WindowEvents* events_ = nullptr;
  void* font_ = nullptr;         // HFONT
  std::intptr_t frameProc_ = 0;  // the device frame's own window procedure
  int dpi_ = win32::DefaultDpi;
  bool unloaded_ = false;
  bool quitPending_ = false;
  MessageHook hook_;
  void* watchedHandle_ = nullptr;  // HANDLE
  std::function<void()> signalled_;
};

}  // namespace dalvorn

// The toolkit side of the main window. A toolkit (Qt, native Win32) lays out and draws the
// controls and implements these operations; the window's behaviour (FrmMain) drives them and
// never sees the toolkit itself.
#pragma once

#include <functional>
#include <string>

#include "ui/window_controls.h"

namespace dalvorn {

// The window's handlers, called by the toolkit.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  // The window is being unloaded: by its close box, or because the program unloads it.
  // Runs once; the window is hidden afterwards and takes no further input.
  virtual void Form_Unload() = 0;
  // The upgrade button was clicked (only an enabled button delivers clicks).
  virtual void btnUpgradeFW_Click() = 0;
};

class WindowView {
 public:
  virtual ~WindowView() = default;

  // Connects the handlers; called once before Show.
  virtual void SetEvents(WindowEvents* events) = 0;

  // Shows the window at once (modeless), painted, before the load goes on.
  virtual void Show() = 0;

  // Width of a control in twips as laid out now.
  virtual float Width(Control control) const = 0;
  virtual void SetWidth(Control control, float twips) = 0;
  virtual void SetVisible(Control control, bool visible) = 0;
  virtual void SetEnabled(Control control, bool enabled) = 0;
  // The caption of the upgrade button or the text of a value label.
  virtual void SetCaption(Control control, const std::string& text) = 0;
  // Paints the control now, without waiting for the event queue.
  virtual void Repaint(Control control) = 0;

  // One pass of the event queue: handles what is waiting (paint, clicks, closing), returns.
  virtual void PumpEvents() = 0;

  // Unloads the window as the program's own request: runs WindowEvents::Form_Unload (unless
  // the window is already unloaded) and hides it; the program ends once control returns to
  // the toolkit's main loop.
  virtual void Unload() = 0;

  // A modal message box with an OK button; returns when the user has dismissed it.
  virtual void MessageBox(const std::string& text) = 0;
};

// Steps a caller adds around the window's life, for the toolkits' RunMainWindow.
struct MainWindowHooks {
  // After Form_Load has returned, before the event loop (which does not start when the
  // window has unloaded by then).
  std::function<void()> afterLoad;
  // After the event loop has ended, just before Form_Terminate.
  std::function<void()> beforeTerminate;
};

}  // namespace dalvorn

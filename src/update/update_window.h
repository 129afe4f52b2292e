// What the update needs of the main window. The window implements it over its toolkit; the
// update knows nothing else of the window.
#pragma once

#include <string>

namespace dalvorn {

class UpdateWindow {
 public:
  virtual ~UpdateWindow() = default;

  // The upgrade button: its caption doubles as the status line while the update runs.
  virtual void SetUpgradeCaption(const std::string& text) = 0;
  virtual void SetUpgradeEnabled(bool enabled) = 0;

  // The status line under the progress bar (status_texts.h): what the window tells the person
  // beside the button's caption.
  virtual void SetStatusText(const std::string& text) = 0;

  // The progress bar; widths are in twips.
  virtual void SetProgressVisible(bool visible) = 0;
  virtual void SetProgressWidth(float twips) = 0;
  virtual void RepaintProgress() = 0;

  // Lets the window handle the events that are waiting, then returns. False when the window
  // was unloaded meanwhile (the user closed it): the caller must then stop at once.
  virtual bool PumpEvents() = 0;

  // Brings the device information labels up to date with the session.
  virtual void ShowDeviceInfo() = 0;
  // The product's name and the version as the labels show them now, without their margin;
  // empty when a label shows nothing.
  virtual std::string ProductShown() const { return {}; }
  virtual std::string VersionShown() const { return {}; }

  // Reports an error the update cannot go past, and waits until the user has read it.
  virtual void ShowMessageBox(const std::string& text) = 0;

  // Unloads the window; with no window left the program ends.
  virtual void Unload() = 0;
};

}  // namespace dalvorn

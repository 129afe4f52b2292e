// An update window with nothing to show: it keeps the last caption and lets a fixture act at
// every event pump, the moments when the real window would handle its events.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "update/update_window.h"

namespace dalvorn::linuxtest {

class HeadlessUpdateWindow final : public UpdateWindow {
 public:
  // `atPump` runs at every pump; after `maxPumps` pumps the window reports itself closed, so
  // a device that never comes back ends the update instead of waiting for ever.
  HeadlessUpdateWindow(std::function<void()> atPump, int maxPumps)
      : atPump_(std::move(atPump)), maxPumps_(maxPumps) {}

  void SetUpgradeCaption(const std::string& text) override { caption = text; }
  void SetUpgradeEnabled(bool enabled) override { upgradeEnabled = enabled; }
  void SetStatusText(const std::string&) override {}
  void SetProgressVisible(bool) override {}
  void SetProgressWidth(float) override {}
  void RepaintProgress() override {}
  bool PumpEvents() override {
    if (atPump_) atPump_();
    return ++pumps <= maxPumps_;
  }
  void ShowDeviceInfo() override {}
  void ShowMessageBox(const std::string& text) override { messageBox = text; }
  void Unload() override { unloaded = true; }

  std::string caption;
  std::string messageBox;
  bool upgradeEnabled = true;
  bool unloaded = false;
  int pumps = 0;

 private:
  std::function<void()> atPump_;
  int maxPumps_;
};

}  // namespace dalvorn::linuxtest

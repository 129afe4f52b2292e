// The window's life: load, closing, unloading, clicks, message boxes and the event loop.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QTimer>
#include <memory>

#include "fake_platform.h"
#include "message_box_gate.h"
#include "qt/qt_window_driver.h"
#include "ui/frm_main.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"
#include "update/firmware_image.h"

namespace dalvorn {
namespace {

using emulator::ClickUpgradeButton;
using emulator::CloseAsCloseBox;
using testing::CountingEvents;
using testing::EmptyHostPlatform;

void Unload(QtWindowView& view) {
  view.Unload();
}

class LoadedWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.SetEvents(&frm);
    frm.Form_Load();
  }
  void TearDown() override { view.SetEvents(nullptr); }

  EmptyHostPlatform platform;
  DiskFirmwareImageFile image;
  QtWindowView view;
  FrmMain frm{platform, view, image};
};

TEST_F(LoadedWindowTest, ComesUpWithoutDeviceBlankAndSaysWhyTheButtonIsDisabled) {
  EXPECT_TRUE(view.Window()->isVisible());
  EXPECT_FALSE(view.ControlWidget(Control::ProgressFill)->isVisible());
  EXPECT_FALSE(view.ControlWidget(Control::UnusedLoadButton)->isVisible());
  EXPECT_EQ(frm.ProgressFullWidth(), 5055);
  EXPECT_EQ(view.Caption(Control::lblManuf), "");
  EXPECT_EQ(view.Caption(Control::lblProduct), "");
  EXPECT_EQ(view.Caption(Control::lblVersion), " ");
  EXPECT_EQ(view.Caption(Control::lblSerialNumber), "");
  EXPECT_EQ(view.Caption(Control::btnUpgradeFW), "Upgrade Firmware");
  // No image in the program folder: the click could not start an update.
  EXPECT_EQ(view.Caption(Control::lblStatus).rfind("The firmware image \"Varnholt.bin\" cannot", 0),
            0u);
  EXPECT_FALSE(view.ControlWidget(Control::btnUpgradeFW)->isEnabled());
  EXPECT_NE(view.Window()->focusWidget(), view.ControlWidget(Control::btnUpgradeFW));
  // Enabled later, the button takes the focus the window had nowhere else.
  view.SetEnabled(Control::btnUpgradeFW, true);
  EXPECT_EQ(view.Window()->focusWidget(), view.ControlWidget(Control::btnUpgradeFW));
}

TEST_F(LoadedWindowTest, CloseBoxClosesBothHandlesOnceAndHides) {
  const Handle device = frm.Session().DeviceHandle;
  const Handle overlapped = frm.Session().OverlappedHandle;
  platform.closed.clear();
  CloseAsCloseBox(view);
  EXPECT_TRUE(frm.Unloaded());
  EXPECT_TRUE(view.Unloaded());
  EXPECT_FALSE(view.Window()->isVisible());
  EXPECT_EQ(platform.closed, (std::vector<Handle>{device, overlapped}));
  CloseAsCloseBox(view);
  view.Unload();
  EXPECT_EQ(platform.closed.size(), 2u);
}

TEST_F(LoadedWindowTest, ClickWithoutDeviceChangesNothing) {
  // A click that reached the handler (one queued before the button was disabled).
  frm.btnUpgradeFW_Click();
  ClickUpgradeButton(view);
  EXPECT_FALSE(view.ControlWidget(Control::btnUpgradeFW)->isEnabled());
  EXPECT_EQ(view.Caption(Control::btnUpgradeFW), "Upgrade Firmware");
  EXPECT_FALSE(frm.Unloaded());
  EXPECT_EQ(frm.ExitCode(), 0);
}

class ViewEventsTest : public ::testing::Test {
 protected:
  void SetUp() override { view.SetEvents(&events); }
  void TearDown() override { view.SetEvents(nullptr); }
  CountingEvents events;
  QtWindowView view;
};

// Each way of ending the window, in either order, runs the unload handling exactly once.
TEST_F(ViewEventsTest, UnloadHandlingRunsOnceWhicheverWayTheWindowEnds) {
  struct Case {
    const char* name;
    std::vector<void (*)(QtWindowView&)> steps;
  };
  const std::vector<Case> cases = {
      {"close box", {&CloseAsCloseBox}},
      {"close box twice", {&CloseAsCloseBox, &CloseAsCloseBox}},
      {"unload", {&Unload}},
      {"unload then close box", {&Unload, &CloseAsCloseBox}},
      {"close box then unload", {&CloseAsCloseBox, &Unload}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingEvents counted;
    QtWindowView window;
    window.SetEvents(&counted);
    window.Show();
    for (auto step : c.steps) step(window);
    EXPECT_EQ(counted.unloads, 1);
    EXPECT_FALSE(window.Window()->isVisible());
    window.SetEvents(nullptr);
  }
}

TEST_F(ViewEventsTest, OnlyAnEnabledLoadedButtonDeliversClicks) {
  view.Show();
  ClickUpgradeButton(view);
  EXPECT_EQ(events.clicks, 1);
  view.SetEnabled(Control::btnUpgradeFW, false);
  ClickUpgradeButton(view);
  EXPECT_EQ(events.clicks, 1);
  view.SetEnabled(Control::btnUpgradeFW, true);
  view.Unload();
  ClickUpgradeButton(view);
  EXPECT_EQ(events.clicks, 1);
}

// The user closes the window while the click handler pumps events: the unload handling runs
// inside the pump, and the widgets stay usable for the rest of the handler.
TEST_F(ViewEventsTest, CloseDuringNestedPumpUnloadsButKeepsWidgets) {
  view.Show();
  bool unloadedInPump = false;
  events.onClick = [&] {
    view.SetEnabled(Control::btnUpgradeFW, false);
    QMetaObject::invokeMethod(view.Window(), &QWidget::close, Qt::QueuedConnection);
    view.PumpEvents();
    unloadedInPump = events.unloads == 1;
    view.SetCaption(Control::btnUpgradeFW, "Finishing...");
    view.SetWidth(Control::ProgressFill, 100);
    view.Repaint(Control::ProgressFill);
  };
  ClickUpgradeButton(view);
  EXPECT_TRUE(unloadedInPump);
  EXPECT_EQ(events.unloads, 1);
  EXPECT_FALSE(view.Window()->isVisible());
  EXPECT_EQ(view.Caption(Control::btnUpgradeFW), "Finishing...");
}

// The event loop ends when the window unloads from inside a click handler's nested pump.
TEST_F(ViewEventsTest, UnloadInsideClickEndsTheEventLoop) {
  view.Show();
  events.onClick = [&] {
    view.PumpEvents();
    view.Unload();
    view.PumpEvents();
  };
  QTimer::singleShot(0, view.Window(), [&] { ClickUpgradeButton(view); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(events.unloads, 1);
}

TEST_F(ViewEventsTest, ADismissedMessageBoxNeverReachesTheWindow) {
  view.Show();
  emulator::MessageBoxGate gate(view);
  gate.SetDismissed(true);
  gate.MessageBox("Run-time error");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class RunMainWindowTest : public ::testing::Test {
 protected:
  EmptyHostPlatform platform;
  DiskFirmwareImageFile image;
  QtWindowView window;
};

TEST_F(RunMainWindowTest, CloseBoxInTheEventLoopEndsTheRunWithStatusZero) {
  std::size_t closesAtLoad = 0;
  bool ranLoop = false;
  MainWindowHooks hooks;
  hooks.afterLoad = [&] {
    closesAtLoad = platform.closed.size();
    QTimer::singleShot(0, window.Window(), [&] {
      ranLoop = true;
      CloseAsCloseBox(window);
    });
  };
  int unloadsBeforeTerminate = -1;
  hooks.beforeTerminate = [&] {
    unloadsBeforeTerminate = static_cast<int>(platform.closed.size() - closesAtLoad);
    EXPECT_TRUE(window.Unloaded());
  };
  EXPECT_EQ(RunMainWindow(window, window, platform, image, hooks), 0);
  EXPECT_TRUE(ranLoop);
  EXPECT_EQ(unloadsBeforeTerminate, 2);
  EXPECT_EQ(platform.closed.size() - closesAtLoad, 4u);  // unload, then terminate
}

TEST_F(RunMainWindowTest, UnloadBeforeTheLoopSkipsIt) {
  MainWindowHooks hooks;
  hooks.afterLoad = [this] { CloseAsCloseBox(window); };
  // Were the loop entered, nothing would end it and the test would time out.
  EXPECT_EQ(RunMainWindow(window, window, platform, image, hooks), 0);
  EXPECT_TRUE(window.Unloaded());
}

}  // namespace
}  // namespace dalvorn

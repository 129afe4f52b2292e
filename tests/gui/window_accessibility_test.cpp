// What assistive technology reads from the window, its keyboard use, and the window on scaled
// screens (run at device pixel ratios 1, 1.5 and 2 by .ci/accessibility.sh).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "ui/qt/qt_window_view.h"

namespace dalvorn {
namespace {

using testing::CountingEvents;

class AccessibilityTest : public ::testing::Test {
 protected:
  AccessibilityTest() { view.SetEvents(&events); }
  ~AccessibilityTest() override { view.SetEvents(nullptr); }
  QAccessibleInterface* Of(Control control) const {
    return QAccessible::queryAccessibleInterface(view.ControlWidget(control));
  }

  CountingEvents events;
  QtWindowView view;
};

TEST_F(AccessibilityTest, ValueLabelsAreNamedByTheirCaptionAndReadTheirText) {
  const struct {
    Control value, caption;
    const char* name;
  } rows[] = {{Control::lblManuf, Control::ManufacturerCaption, "Manufacturer"},
              {Control::lblProduct, Control::ProductCaption, "Product"},
              {Control::lblVersion, Control::VersionCaption, "Version"},
              {Control::lblSerialNumber, Control::SerialNumberCaption, "Serial Number"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    view.SetCaption(row.value, std::string(" value of ") + row.name);
    QAccessibleInterface* value = Of(row.value);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->role(), QAccessible::StaticText);
    EXPECT_EQ(value->text(QAccessible::Name), QString::fromUtf8(row.name));
    ASSERT_NE(value->textInterface(), nullptr);
    EXPECT_EQ(value->textInterface()->text(0, value->textInterface()->characterCount()),
              QStringLiteral(" value of ") + QString::fromUtf8(row.name));
    const auto labelledBy = value->relations(QAccessible::Label);
    ASSERT_EQ(labelledBy.size(), 1);
    EXPECT_EQ(labelledBy.first().first->object(), view.ControlWidget(row.caption));
  }
}

TEST_F(AccessibilityTest, BarIsAProgressBarWhoseValueFollowsItsWidth) {
  QAccessibleInterface* bar = Of(Control::ProgressFill);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
  EXPECT_FALSE(bar->state().focusable);
  QAccessibleValueInterface* value = bar->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->minimumValue().toInt(), 0);
  EXPECT_EQ(value->maximumValue().toInt(), 100);
  EXPECT_EQ(value->currentValue().toInt(), 0);  // hidden, before any update
  const struct {
    float twips;
    int percent;
  } widths[] = {{0.0f, 0}, {25.3f, 1}, {2527.5f, 50}, {4999.0f, 99}, {6000.0f, 100}};
  for (const auto& w : widths) {
    SCOPED_TRACE(w.twips);
    view.SetWidth(Control::ProgressFill, w.twips);
    EXPECT_EQ(value->currentValue().toInt(), w.percent);
    EXPECT_EQ(bar->text(QAccessible::Value), QString::number(w.percent) + u'%');
  }
}

class WindowKeyboardTest : public AccessibilityTest {};

TEST_F(WindowKeyboardTest, TabReachesOnlyTheButton) {
  view.Show();
  QWidget* window = view.Window();
  QWidget* button = view.ControlWidget(Control::btnUpgradeFW);
  window->activateWindow();
  button->setFocus();
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
    QTest::keyClick(button, key);
    EXPECT_EQ(window->focusWidget(), button);
  }
}

TEST_F(WindowKeyboardTest, EnterReturnAndSpacePressTheButtonOnlyWhileEnabled) {
  view.Show();
  QWidget* button = view.ControlWidget(Control::btnUpgradeFW);
  button->setFocus();
  const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space};
  for (Qt::Key key : keys) QTest::keyClick(button, key);
  EXPECT_EQ(events.clicks, 3);
  view.SetEnabled(Control::btnUpgradeFW, false);
  for (Qt::Key key : keys) QTest::keyClick(button, key);
  EXPECT_EQ(events.clicks, 3);
}

TEST_F(WindowKeyboardTest, AltF4ClosesAsTheCloseBoxDoes) {
  view.Show();
  QTest::keyClick(view.ControlWidget(Control::btnUpgradeFW), Qt::Key_F4, Qt::NoModifier);
  EXPECT_FALSE(view.Unloaded());
  QTest::keyClick(view.ControlWidget(Control::btnUpgradeFW), Qt::Key_F4, Qt::AltModifier);
  EXPECT_TRUE(view.Unloaded());
  EXPECT_EQ(events.unloads, 1);
  EXPECT_FALSE(view.Window()->isVisible());
}

// The window mid-update, at the screen's scale. The tests run with QT_SCALE_FACTOR set to
// 1, 1.5 and 2; with DALVORN_SCREENSHOTS set they save qt-100.png, qt-150.png, qt-200.png there.
class ScaledWindowTest : public AccessibilityTest {};

TEST_F(ScaledWindowTest, EverythingScalesAndNothingIsClipped) {
  const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                          ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                          : 1.0;
  view.Show();
  const char* values[] = {" Dalvorn", " Widget", " 1.2", " 0001"};
  for (std::size_t i = 0; i < ValueLabels.size(); ++i) view.SetCaption(ValueLabels[i], values[i]);
  view.SetVisible(Control::ProgressFill, true);
  view.SetWidth(Control::ProgressFill, 5055.0f * 0.6f);
  view.SetEnabled(Control::btnUpgradeFW, false);
  EXPECT_DOUBLE_EQ(view.Window()->devicePixelRatioF(), scale);

  // Every text the window shows fits its control in the font as drawn at this scale.
  auto* button = static_cast<QPushButton*>(view.ControlWidget(Control::btnUpgradeFW));
  for (const char* caption :
       {"Upgrade Firmware", "Switching to bootloader...", "Updating firmware...", "Finishing..."}) {
    SCOPED_TRACE(caption);
    view.SetCaption(Control::btnUpgradeFW, caption);
    EXPECT_LT(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width());
  }
  view.SetCaption(Control::btnUpgradeFW, "Updating firmware...");
  view.SetCaption(Control::lblStatus, "Keep the device connected until the update has finished.");
  for (const ControlLayout& row : MainWindowLayout) {
    auto* label = qobject_cast<QLabel*>(view.ControlWidget(row.control));
    if (label == nullptr) continue;
    SCOPED_TRACE(std::string(row.name));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_LE(label->fontMetrics().height(), label->height());
  }

  // Drawn at the screen's resolution, the bar's light blue covers 60 % of its full width.
  QImage shot = view.Window()->grab().toImage();
  ASSERT_EQ(shot.width(), qRound(361 * scale));
  ASSERT_EQ(shot.height(), qRound(250 * scale));
  const int y = qRound(130 * scale);
  int blue = 0;
  for (int x = 0; x < shot.width(); ++x) blue += shot.pixelColor(x, y) == QColor(128, 128, 255);
  EXPECT_NEAR(blue, 337 * 0.6 * scale, 1.0 + scale);

  const QString folder = qEnvironmentVariable("DALVORN_SCREENSHOTS");
  if (!folder.isEmpty()) {
    const QString name = QStringLiteral("qt-%1.png").arg(qRound(scale * 100));
    EXPECT_TRUE(shot.save(QDir(folder).filePath(name), "PNG"));
  }
}

}  // namespace
}  // namespace dalvorn

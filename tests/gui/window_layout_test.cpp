// The laid-out window: places, sizes, texts, colours, fonts and keyboard order.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <ostream>
#include <string>
#include <vector>

#include "qt/qt_window_driver.h"
#include "status_line_samples.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"

namespace dalvorn {
namespace {

QString Text(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
  return QStringLiteral("<no text>");
}

struct Placement {
  Control control;
  bool inFrame;
  QRect pixels;  // relative to the container
  const char* text;
};

// Pixel rectangles worked out by hand from the window's design (15 twips a pixel); the caption
// labels are as wide as the longest caption of any language needs.
const std::vector<Placement> kPlacements = {
    {Control::DeviceFrame, false, {8, 0, 345, 113}, ""},
    {Control::ManufacturerCaption, true, {8, 16, 120, 19}, "Manufacturer"},
    {Control::lblManuf, true, {132, 16, 208, 22}, ""},
    {Control::ProductCaption, true, {8, 40, 120, 19}, "Product"},
    {Control::lblProduct, true, {132, 40, 208, 22}, ""},
    {Control::VersionCaption, true, {8, 64, 120, 19}, "Version"},
    {Control::lblVersion, true, {132, 64, 208, 22}, ""},
    {Control::SerialNumberCaption, true, {8, 88, 120, 19}, "Serial Number"},
    {Control::lblSerialNumber, true, {132, 88, 204, 22}, ""},
    {Control::ProgressTrack, false, {8, 124, 345, 13}, nullptr},
    {Control::ProgressFill, false, {12, 128, 337, 5}, nullptr},
    {Control::lblStatus, false, {4, 142, 353, 54}, ""},
    {Control::btnUpgradeFW, false, {60, 201, 241, 33}, "Upgrade Firmware"},
    {Control::UnusedLoadButton, false, {8, 196, 345, 33}, "2. Load Firmware"},
};

class WindowLayoutTest : public ::testing::Test {
 protected:
  QWidget* W(Control control) const { return view.ControlWidget(control); }
  QtWindowView view;
};

TEST_F(WindowLayoutTest, ClientAreaIsFixedAt361By250) {
  QWidget* window = view.Window();
  EXPECT_EQ(window->size(), QSize(361, 250));
  EXPECT_EQ(window->minimumSize(), QSize(361, 250));
  EXPECT_EQ(window->maximumSize(), QSize(361, 250));
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Firmware Update"));
  EXPECT_EQ(view.Width(Control::frmMain), 361.0f * 15);
}

TEST_F(WindowLayoutTest, EveryControlAtItsPlaceWithItsText) {
  for (const Placement& p : kPlacements) {
    SCOPED_TRACE(std::string(ControlName(p.control)));
    QWidget* widget = W(p.control);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), p.inFrame ? W(Control::DeviceFrame) : view.Window());
    EXPECT_EQ(widget->geometry(), p.pixels);
    EXPECT_EQ(view.Width(p.control), static_cast<float>(p.pixels.width() * 15));
    if (p.text != nullptr) {
      EXPECT_EQ(Text(widget), QString::fromUtf8(p.text));
    }
  }
}

TEST_F(WindowLayoutTest, BarLiesInsideItsTroughAndAboveIt) {
  const QRect trough = W(Control::ProgressTrack)->geometry();
  const QRect bar = W(Control::ProgressFill)->geometry();
  EXPECT_EQ(bar, trough.adjusted(4, 4, -4, -4));
  view.SetVisible(Control::ProgressFill, true);
  const QImage image = emulator::GrabClientArea(view);
  ASSERT_EQ(image.size(), QSize(361, 250));
  EXPECT_EQ(image.pixelColor(bar.center()), QColor(128, 128, 255));
  EXPECT_EQ(image.pixelColor(bar.right(), bar.bottom()), QColor(128, 128, 255));
  // Where the bar has been shortened, the trough shows again.
  view.SetWidth(Control::ProgressFill, 1500);
  const QImage shorter = emulator::GrabClientArea(view);
  EXPECT_EQ(shorter.pixelColor(bar.left() + 50, bar.center().y()), QColor(128, 128, 255));
  EXPECT_NE(shorter.pixelColor(bar.right() - 50, bar.center().y()), QColor(128, 128, 255));
}

TEST_F(WindowLayoutTest, ValueLabelsAreFlatOnTheWindowColour) {
  view.SetCaption(Control::lblManuf, " Dalvorn");
  const QImage image = emulator::GrabClientArea(view);
  for (Control control : ValueLabels) {
    SCOPED_TRACE(std::string(ControlName(control)));
    auto* label = qobject_cast<QLabel*>(W(control));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->frameShape(), QFrame::NoFrame);
    const QPoint farCorner = label->mapTo(view.Window(), QPoint(label->width() - 2, 2));
    EXPECT_EQ(image.pixelColor(farCorner), label->palette().color(QPalette::Base));
    EXPECT_EQ(label->palette().color(label->foregroundRole()),
              label->palette().color(QPalette::WindowText));
  }
}

TEST_F(WindowLayoutTest, FrameTakesNoInputButItsLabelsReadNormally) {
  for (const Placement& p : kPlacements) {
    if (!p.inFrame) continue;
    SCOPED_TRACE(std::string(ControlName(p.control)));
    EXPECT_TRUE(W(p.control)->isEnabled());
    EXPECT_EQ(W(p.control)->focusPolicy(), Qt::NoFocus);
  }
  EXPECT_TRUE(W(Control::DeviceFrame)->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_EQ(W(Control::DeviceFrame)->focusPolicy(), Qt::NoFocus);
}

TEST_F(WindowLayoutTest, FontIsNineSansSerifPoints) {
  const QFont font = view.Window()->font();
  EXPECT_EQ(font.pointSize(), 9);
  EXPECT_FALSE(font.bold());
  EXPECT_FALSE(font.italic());
  EXPECT_EQ(font.families().value(0), QStringLiteral("MS Sans Serif"));
  EXPECT_EQ(QFontInfo(W(Control::SerialNumberCaption)->font()).pointSize(), 9);
  // Every caption fits its label in the face actually found.
  for (const Placement& p : kPlacements) {
    auto* label = qobject_cast<QLabel*>(W(p.control));
    if (label == nullptr || label->text().isEmpty()) continue;
    SCOPED_TRACE(label->text().toStdString());
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_LE(label->fontMetrics().height(), label->height());
  }
}

// The status line wraps at word boundaries within its lines, whatever it says.
TEST_F(WindowLayoutTest, EveryStatusTextFitsTheStatusLine) {
  auto* line = qobject_cast<QLabel*>(W(Control::lblStatus));
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->wordWrap());
  EXPECT_GE(line->height(), 2 * line->fontMetrics().lineSpacing());
  for (const std::string& text : testing::StatusLineSamples()) {
    SCOPED_TRACE(text);
    const QRect needed = line->fontMetrics().boundingRect(
        QRect(0, 0, line->width(), 10000), Qt::TextWordWrap, QString::fromStdString(text));
    EXPECT_LE(needed.width(), line->width());
    EXPECT_LE(needed.height(), line->height());
  }
}

TEST_F(WindowLayoutTest, UnusedButtonIsNeverShownNorReachable) {
  view.Show();
  QWidget* unused = W(Control::UnusedLoadButton);
  EXPECT_FALSE(unused->isVisible());
  EXPECT_EQ(unused->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(view.Window()->childAt(unused->geometry().topLeft() + QPoint(2, 2)), nullptr);
}

TEST_F(WindowLayoutTest, FocusStartsOnUpgradeButton) {
  view.Show();
  EXPECT_EQ(view.Window()->focusWidget(), W(Control::btnUpgradeFW));
  // The picture boxes take no input: the keyboard never stops on them.
  EXPECT_EQ(W(Control::ProgressFill)->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(W(Control::ProgressTrack)->focusPolicy(), Qt::NoFocus);
}

struct WidthCase {
  float twips;
  int pixels;
};

void PrintTo(const WidthCase& c, std::ostream* os) {
  *os << c.twips << "tw_" << c.pixels << "px";
}

class ProgressFillWidthTest : public WindowLayoutTest,
                              public ::testing::WithParamInterface<WidthCase> {};

TEST_P(ProgressFillWidthTest, WidthInTwipsKeepsLeftEdgeAndHeight) {
  const WidthCase c = GetParam();
  view.SetWidth(Control::ProgressFill, c.twips);
  EXPECT_EQ(W(Control::ProgressFill)->geometry(), QRect(12, 128, c.pixels, 5));
  EXPECT_EQ(view.Width(Control::ProgressFill), static_cast<float>(c.pixels * 15));
}

INSTANTIATE_TEST_SUITE_P(Widths, ProgressFillWidthTest,
                         ::testing::Values(WidthCase{5055.0f, 337}, WidthCase{0.0f, 0},
                                           WidthCase{7.4f, 0}, WidthCase{7.5f, 1},
                                           WidthCase{1000.0f, 67}, WidthCase{2527.5f, 169},
                                           WidthCase{-30.0f, 0}));

TEST(ApplicationSetupTest, NamesVersionAndIcon) {
  EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Dalvorn firmware update"));
  EXPECT_EQ(QApplication::applicationVersion(), QStringLiteral("1.01.0001"));
  const QIcon icon = ApplicationIcon();
  const QList<QSize> sizes = icon.availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  EXPECT_EQ(icon.pixmap(QSize(32, 32)).toImage().size(), QSize(32, 32));
  EXPECT_FALSE(QApplication::windowIcon().isNull());
}

}  // namespace
}  // namespace dalvorn

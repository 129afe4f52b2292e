#include "ui/qt/qt_main_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "ui/qt/qt_accessibility.h"

namespace dalvorn {
namespace {

std::size_t Index(Control control) {
  return static_cast<std::size_t>(control);
}

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* MakeLabel(std::string_view caption, QWidget* parent) {
  auto* label = new QLabel(ToQString(caption), parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setMargin(0);
  label->setIndent(0);
  return label;
}

// A value label: flat, painted in the system window colour, text in the window-text colour.
QLabel* MakeValueLabel(QWidget* parent) {
  QLabel* label = MakeLabel({}, parent);
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Base);
  label->setForegroundRole(QPalette::WindowText);
  return label;
}

// The trough of the progress bar: a sunken 3D panel on the dialog background. Neither picture
// box is a tab stop: they take no input, and a screen reader reads the bar without focusing it.
QFrame* MakeTrough(QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  frame->setAutoFillBackground(true);
  frame->setBackgroundRole(QPalette::Window);
  frame->setFocusPolicy(Qt::NoFocus);
  return frame;
}

// The progress bar: a plain area in its own light blue.
QFrame* MakeBar(QWidget* parent) {
  auto* bar = new QFrame(parent);
  bar->setFrameStyle(QFrame::NoFrame);
  QPalette palette = bar->palette();
  palette.setColor(QPalette::Window, QColor(ProgressFillRed, ProgressFillGreen, ProgressFillBlue));
  bar->setPalette(palette);
  bar->setBackgroundRole(QPalette::Window);
  bar->setForegroundRole(QPalette::WindowText);
  bar->setAutoFillBackground(true);
  bar->setFocusPolicy(Qt::NoFocus);
  MakeAccessibleProgressBar(bar);
  return bar;
}

std::vector<const ControlLayout*> RowsInTabOrder() {
  std::vector<const ControlLayout*> rows;
  for (const ControlLayout& row : MainWindowLayout) rows.push_back(&row);
  std::stable_sort(rows.begin(), rows.end(), [](const ControlLayout* a, const ControlLayout* b) {
    return a->tabIndex < b->tabIndex;
  });
  return rows;
}

}  // namespace

QFont MainWindowFont() {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("MS Sans Serif"),
                               QStringLiteral("Microsoft Sans Serif"),
                               QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(9);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  return font;
}

QtMainWindow::QtMainWindow() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromStdString(ShownWindowCaption()));
  setFont(MainWindowFont());
  setFixedSize(TwipsToPixels(ClientWidthTwips), TwipsToPixels(ClientHeightTwips));
  widgets_[Index(Control::frmMain)] = this;
  MakeAccessibleWindow(this);

  // Created in tab-index order, which also puts the frame before the labels it holds.
  for (const ControlLayout* rowPtr : RowsInTabOrder()) {
    const ControlLayout& row = *rowPtr;
    QWidget* container = widgets_[Index(row.container)];
    QWidget* widget = MakeControl(row, container);
    widget->setObjectName(ToQString(row.name));
    widget->setGeometry(TwipsToPixels(row.left), TwipsToPixels(row.top), TwipsToPixels(row.width),
                        TwipsToPixels(row.height));
    widgets_[Index(row.control)] = widget;
  }
  // The bar lies above its trough.
  ControlWidget(Control::ProgressFill)->raise();
  SetTabOrder();
  NameValueLabels();
  UpgradeButton()->installEventFilter(this);
}

// Each value label is named by the caption label on its row.
void QtMainWindow::NameValueLabels() {
  for (const ControlLayout& value : MainWindowLayout) {
    if (!IsValueLabel(value.control)) continue;
    for (const ControlLayout& row : MainWindowLayout) {
      if (row.container != value.container || row.top != value.top ||
          row.control == value.control || row.caption.empty()) {
        continue;
      }
      MakeAccessibleValueLabel(static_cast<QLabel*>(ControlWidget(value.control)),
                               QString::fromStdString(ShownCaption(row)),
                               static_cast<QLabel*>(ControlWidget(row.control)));
    }
  }
}

// Enter and Return press the upgrade button when it has the focus, as Space does.
bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == UpgradeButton() && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers() == Qt::NoModifier) {
      if (!key->isAutoRepeat() && UpgradeButton()->isEnabled()) UpgradeButton()->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// Alt+F4 closes the window as the close box does, also where no window manager handles it.
void QtMainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

QWidget* QtMainWindow::MakeControl(const ControlLayout& row, QWidget* container) {
  switch (row.control) {
    case Control::DeviceFrame: {
      auto* frame = new QGroupBox(QString::fromStdString(ShownCaption(row)), container);
      // The frame takes no input, but its labels keep their normal colours.
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      frame->setFocusPolicy(Qt::NoFocus);
      return frame;
    }
    case Control::lblManuf:
    case Control::lblProduct:
    case Control::lblVersion:
    case Control::lblSerialNumber:
      return MakeValueLabel(container);
    case Control::ProgressTrack:
      return MakeTrough(container);
    case Control::ProgressFill:
      return MakeBar(container);
    case Control::btnUpgradeFW:
      return new QPushButton(QString::fromStdString(ShownCaption(row)), container);
    case Control::lblStatus: {
      // Wraps at word boundaries; its text is its accessible name, announced when it changes.
      QLabel* label = MakeLabel(row.caption, container);
      label->setWordWrap(true);
      return label;
    }
    case Control::UnusedLoadButton: {
      // Laid out but never shown: hidden before the window first shows, out of the tab chain.
      auto* button = new QPushButton(QString::fromStdString(ShownCaption(row)), container);
      button->setFocusPolicy(Qt::NoFocus);
      button->hide();
      return button;
    }
    default:
      return MakeLabel(ShownCaption(row), container);
  }
}

// Tab order follows the tab indices among the controls that take focus (Qt leaves the others
// out of the chain).
void QtMainWindow::SetTabOrder() {
  QWidget* previous = nullptr;
  for (const ControlLayout* row : RowsInTabOrder()) {
    QWidget* widget = ControlWidget(row->control);
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) setTabOrder(previous, widget);
    previous = widget;
  }
}

QWidget* QtMainWindow::ControlWidget(Control control) const {
  const std::size_t i = Index(control);
  return i < widgets_.size() ? widgets_[i] : nullptr;
}

QPushButton* QtMainWindow::UpgradeButton() const {
  return static_cast<QPushButton*>(ControlWidget(Control::btnUpgradeFW));
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  if (closeHandler_) closeHandler_();
  event->accept();
}

}  // namespace dalvorn

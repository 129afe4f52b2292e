#include "ui/qt/qt_window_view.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

#include "ui/qt/qt_accessibility.h"
#include "ui/qt/qt_main_window.h"

namespace dalvorn {
namespace {

// The first control after the window in its focus chain that takes focus by the keyboard.
QWidget* FirstFocusable(QWidget* window) {
  for (QWidget* w = window->nextInFocusChain(); w != nullptr && w != window;
       w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->isVisibleTo(window) && w->isEnabled()) {
      return w;
    }
  }
  return nullptr;
}

}  // namespace

QtWindowView::QtWindowView() : window_(std::make_unique<QtMainWindow>()) {
  window_->SetCloseHandler([this] { UnloadOnce(); });
  QObject::connect(window_->UpgradeButton(), &QAbstractButton::clicked, window_.get(), [this] {
    if (events_ != nullptr && !unloaded_) events_->btnUpgradeFW_Click();
  });
}

QtWindowView::~QtWindowView() {
  // No handler may run while the window goes away.
  window_->SetCloseHandler({});
  events_ = nullptr;
}

void QtWindowView::SetEvents(WindowEvents* events) {
  events_ = events;
}

void QtWindowView::Show() {
  window_->show();
  window_->activateWindow();
  if (window_->focusWidget() == nullptr) {
    if (QWidget* first = FirstFocusable(window_.get())) first->setFocus(Qt::TabFocusReason);
  }
  // Let the window system map and expose the window, then paint it now.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  window_->repaint();
}

float QtWindowView::Width(Control control) const {
  const QWidget* widget = ControlWidget(control);
  return widget != nullptr ? PixelsToTwips(widget->width()) : 0.0f;
}

void QtWindowView::SetWidth(Control control, float twips) {
  QWidget* widget = ControlWidget(control);
  if (widget == nullptr) return;
  const int px = TwipsToPixels(twips);
  if (widget == window_.get()) {
    window_->setFixedWidth(px);
  } else {
    widget->resize(px, widget->height());  // the left edge stays
  }
  if (control == Control::ProgressFill) {
    const ControlLayout* design = FindLayout(control);
    SetProgressPercent(widget, PercentOfWidth(twips, static_cast<float>(design->width)));
  }
}

void QtWindowView::SetVisible(Control control, bool visible) {
  if (QWidget* widget = ControlWidget(control)) widget->setVisible(visible);
}

void QtWindowView::SetEnabled(Control control, bool enabled) {
  QWidget* widget = ControlWidget(control);
  if (widget == nullptr) return;
  widget->setEnabled(enabled);
  // A disabled button let go of the focus; enabled again, it takes it back when nothing else
  // holds it, so that the keyboard reaches it at once.
  if (enabled && control == Control::btnUpgradeFW && window_->focusWidget() == nullptr) {
    widget->setFocus(Qt::OtherFocusReason);
  }
}

void QtWindowView::SetCaption(Control control, const std::string& text) {
  QWidget* widget = ControlWidget(control);
  const QString qtext = QString::fromStdString(text);
  if (widget == window_.get()) {
    window_->setWindowTitle(qtext);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(qtext);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    const QString old = label->text();
    label->setText(qtext);
    // A value label's name is its caption label's: its text is what changed for a reader.
    if (IsValueLabel(control)) NotifyLabelTextChanged(label, old);
  } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
    frame->setTitle(qtext);
  }
}

std::string QtWindowView::Caption(Control control) const {
  QWidget* widget = ControlWidget(control);
  QString text;
  if (widget == window_.get()) {
    text = window_->windowTitle();
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    text = button->text();
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    text = label->text();
  } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
    text = frame->title();
  }
  return text.toStdString();
}

void QtWindowView::Repaint(Control control) {
  if (QWidget* widget = ControlWidget(control)) widget->repaint();
}

void QtWindowView::PumpEvents() {
  QCoreApplication::processEvents();
}

void QtWindowView::Unload() {
  UnloadOnce();
  window_->hide();
}

void QtWindowView::UnloadOnce() {
  if (!unloaded_) {
    // Set first: the unload handling may pump events, and a close then must not run it again.
    unloaded_ = true;
    if (events_ != nullptr) events_->Form_Unload();
  }
  // Ends the running event loop once control returns to it; no effect when none runs.
  QCoreApplication::exit(0);
}

void QtWindowView::MessageBox(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(ShownApplicationName()),
                  QString::fromStdString(text), QMessageBox::Ok,
                  window_->isVisible() ? window_.get() : nullptr);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QWidget* QtWindowView::Window() const {
  return window_.get();
}

QWidget* QtWindowView::ControlWidget(Control control) const {
  return window_->ControlWidget(control);
}

}  // namespace dalvorn

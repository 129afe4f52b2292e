#include "ui/qt/qt_accessibility.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QLabel>
#include <QVariant>
#include <QWidget>
#include <cmath>

#include "text/translation.h"

namespace dalvorn {
namespace {

constexpr char PercentProperty[] = "dalvornProgressPercent";
constexpr char ValueLabelProperty[] = "dalvornValueLabel";
constexpr char MainWindowProperty[] = "dalvornMainWindow";

// A value label: named by its caption label (its accessible name), its text is its value,
// readable through the text interface as screen readers read labels.
class ValueLabelAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ValueLabelAccessible(QLabel* label)
      : QAccessibleWidget(label, QAccessible::StaticText), label_(label) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return label_->text();
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    return s;
  }

  // Read-only text, no selection, no cursor.
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override { return label_->text().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(label_->text().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  QLabel* label_;
};

class ProgressBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit ProgressBarAccessible(QWidget* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(ProgressPercent(widget())) + u'%';
    return QAccessibleWidget::text(t);
  }

  // The bar only shows; it takes neither focus nor input.
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.focusable = false;
    s.readOnly = true;
    return s;
  }

  QVariant currentValue() const override { return ProgressPercent(widget()); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface* WindowFactory(const QString& /*className*/, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget == nullptr) return nullptr;
  if (widget->property(PercentProperty).isValid()) return new ProgressBarAccessible(widget);
  // The window itself: a frame, named by its caption.
  if (widget->property(MainWindowProperty).toBool()) {
    return new QAccessibleWidget(widget, QAccessible::Window);
  }
  auto* label = qobject_cast<QLabel*>(widget);
  if (label != nullptr && label->property(ValueLabelProperty).toBool()) {
    return new ValueLabelAccessible(label);
  }
  return nullptr;
}

void InstallFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(WindowFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace

void MakeAccessibleWindow(QWidget* window) {
  InstallFactory();
  window->setProperty(MainWindowProperty, true);
}

void MakeAccessibleValueLabel(QLabel* label, const QString& name, QLabel* caption) {
  InstallFactory();
  label->setProperty(ValueLabelProperty, true);
  label->setAccessibleName(name);
  caption->setBuddy(label);  // the caption labels the value
}

void MakeAccessibleProgressBar(QWidget* bar) {
  InstallFactory();
  bar->setProperty(PercentProperty, 0);  // hidden, and no update has run
  // TRANSLATORS: the progress bar's name, for screen readers.
  bar->setAccessibleName(QString::fromStdString(Tr("Progress")));
}

void SetProgressPercent(QWidget* bar, int percent) {
  if (ProgressPercent(bar) == percent) return;
  bar->setProperty(PercentProperty, percent);
  QAccessibleValueChangeEvent event(bar, percent);
  QAccessible::updateAccessibility(&event);
}

int ProgressPercent(const QWidget* bar) {
  return bar->property(PercentProperty).toInt();
}

void NotifyLabelTextChanged(QWidget* label, const QString& oldText) {
  auto* qlabel = qobject_cast<QLabel*>(label);
  if (qlabel == nullptr || !QAccessible::isActive()) return;
  QAccessibleTextUpdateEvent event(label, 0, oldText, qlabel->text());
  QAccessible::updateAccessibility(&event);
}

int PercentOfWidth(float width, float fullWidth) {
  if (!(fullWidth > 0.0f) || !(width > 0.0f)) return 0;
  const long percent = std::lround(100.0 * static_cast<double>(width) / fullWidth);
  return percent > 100 ? 100 : static_cast<int>(percent);
}

}  // namespace dalvorn

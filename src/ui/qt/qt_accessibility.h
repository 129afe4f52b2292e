// What screen readers and other assistive technology read from the Qt window, beyond what
// Qt's own widgets tell: accessible interfaces of its own expose each value label, named by
// its caption label, with its text as value, and the progress bar, a plain painted frame, as a
// progress bar of 0 to 100 percent.
#pragma once

class QLabel;
class QString;
class QWidget;

namespace dalvorn {

// Makes `window` read as a frame (not a plain pane). Call once, at creation.
void MakeAccessibleWindow(QWidget* window);

// Makes `label` a value label named `name`, labelled by `caption`. Call once, at creation.
void MakeAccessibleValueLabel(QLabel* label, const QString& name, QLabel* caption);

// Marks `bar` as the window's progress bar and makes sure the interface that exposes it is
// installed. Call once, right after creating the widget.
void MakeAccessibleProgressBar(QWidget* bar);

// Sets the bar's value in percent (0 to 100) and tells listening screen readers.
void SetProgressPercent(QWidget* bar, int percent);
int ProgressPercent(const QWidget* bar);

// Tells listening screen readers that a label's text, its accessible value, changed.
void NotifyLabelTextChanged(QWidget* label, const QString& oldText);

// The bar's percentage for a width out of the full width (twips): rounded to the nearest
// whole percent, within 0 to 100.
int PercentOfWidth(float width, float fullWidth);

}  // namespace dalvorn

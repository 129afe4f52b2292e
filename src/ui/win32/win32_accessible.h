// What screen readers and other assistive technology read from the native window's controls
// (Microsoft Active Accessibility). Each control answers WM_GETOBJECT with an object of its
// own: a value label is named by its caption label and its value is its text; the status line
// is static text named by its text; the progress bar, a painted picture box, is a progress bar
// whose value is a percentage; the button is a push button named by its caption. oleacc.dll and
// oleaut32.dll are loaded only when a client first asks, so the program imports nothing more than
// before. Include after windows.h.
#pragma once

#include <string>

namespace dalvorn::win32 {

enum class AccessibleKind { ValueLabel, ProgressBar, PushButton, StatusLine };

// Subclasses `control` so that it answers WM_GETOBJECT as `kind`. `name` is the accessible
// name of a value label or of the bar; the button's and the status line's name is always their
// text.
void MakeAccessible(HWND control, AccessibleKind kind, const std::wstring& name);

// The bar's value, 0 to 100; screen readers listening are told when it changes.
void SetProgressPercent(HWND bar, int percent);
int ProgressPercent(HWND bar);

// Tells screen readers listening that a value label's text (its accessible value) changed.
void NotifyValueChanged(HWND control);
// Tells them that the status line's text, its accessible name, changed: they announce it.
void NotifyNameChanged(HWND control);

// The bar's percentage for a width out of the full width, both in twips: rounded to the
// nearest whole percent, within 0 to 100.
int PercentOfWidth(float width, float fullWidth);

}  // namespace dalvorn::win32

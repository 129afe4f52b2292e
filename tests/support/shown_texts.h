// Every text the window shows, in the current language, with where it is shown: the fit tests
// of both windows (Qt, Win32) measure each against its control. A new text the window shows is
// added here.
#pragma once

#include <string>
#include <vector>

#include "ui/window_controls.h"

namespace dalvorn {

struct ShownText {
  // StatusLine: wrapped at word boundaries within the status line's lines.
  enum class Where { Title, Control, StatusLine, MessageBox } where;
  Control control;  // for Control: the label or button that shows it
  std::string text;
};

// The texts, built by the program's own functions with long values (the install folders'
// image paths, the largest block numbers).
std::vector<ShownText> EveryShownText();

// The languages to measure: every catalogue built in, the pseudo-language, and English ("").
std::vector<std::string> LanguagesToMeasure();
// A language's name as a test's name: "en", "x_pseudo", "pt_BR".
std::string LanguageTestName(const std::string& language);

}  // namespace dalvorn

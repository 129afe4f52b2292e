#include "ui/window_controls.h"

namespace dalvorn {

std::string_view ControlName(Control control) {
  if (control == Control::frmMain) return "frmMain";
  const ControlLayout* layout = FindLayout(control);
  return layout != nullptr ? layout->name : std::string_view{};
}

std::string ShownCaption(const ControlLayout& row) {
  // The unused button is never shown: its caption is not in the catalogue.
  if (row.control == Control::UnusedLoadButton) return std::string(row.caption);
  return Tr(row.caption);
}

std::string ShownWindowCaption() {
  return Tr(WindowCaption);
}

std::string ShownApplicationName() {
  return Tr(ApplicationName);
}

const ControlLayout* FindLayout(Control control) {
  for (const ControlLayout& row : MainWindowLayout) {
    if (row.control == control) return &row;
  }
  return nullptr;
}

}  // namespace dalvorn

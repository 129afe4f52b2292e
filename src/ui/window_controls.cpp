#include "ui/window_controls.h"

namespace dalvorn {

std::string_view ControlName(Control control) {
  if (control == Control::frmMain) return "frmMain";
  const ControlLayout* layout = FindLayout(control);
  return layout != nullptr ? layout->name : std::string_view{};
}

const ControlLayout* FindLayout(Control control) {
  for (const ControlLayout& row : MainWindowLayout) {
    if (row.control == control) return &row;
  }
  return nullptr;
}

}  // namespace dalvorn

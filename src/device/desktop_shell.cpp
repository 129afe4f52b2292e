#include "device/desktop_shell.h"

namespace dalvorn {

const char* TaskbarStateName(TaskbarState state) {
  switch (state) {
    case TaskbarState::Normal:
      return "normal";
    case TaskbarState::Waiting:
      return "waiting";
    case TaskbarState::Error:
      return "error";
    case TaskbarState::None:
      break;
  }
  return "none";
}

}  // namespace dalvorn

// The Windows desktop services on the real window: the calls they make, in order, as an update
// makes them (needs a display). What Wine answers is printed for the record.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "device/windows/desktop_shell_windows.h"
#include "ui/win32/win32_window_view.h"

namespace dalvorn {
namespace {

// The call's name and argument, without its result.
std::string CallOf(const std::string& line) {
  return line.substr(0, line.rfind(' '));
}

TEST(WindowsDesktopShell, TheTaskbarFollowsTheUpdateAndTheBalloonGoesWithTheProgram) {
  Win32WindowView window;
  window.Show();
  std::vector<std::string> log;
  {
    const auto shell = MakeWindowsDesktopShell(
        window.Window(), [&log](const std::string& line) { log.push_back(line); });
    shell->SetTaskbarState(TaskbarState::Waiting);
    shell->SetTaskbarState(TaskbarState::Normal);
    shell->SetTaskbarProgress(0);
    shell->SetTaskbarProgress(50);
    shell->SetTaskbarProgress(100);
    shell->SetTaskbarState(TaskbarState::Waiting);
    shell->SetTaskbarState(TaskbarState::Error);
    shell->Notify("Firmware update failed", "The device refused data block 60 of 100.");
    shell->SetTaskbarState(TaskbarState::None);
  }
  for (const std::string& line : log) std::cout << line << '\n';
  std::vector<std::string> calls;
  for (const std::string& line : log) calls.push_back(CallOf(line));
  std::vector<std::string> expected = {"CoCreateInstance CLSID_TaskbarList"};
  if (log.front().find("0x00000000") != std::string::npos) {
    expected.insert(
        expected.end(),
        {"HrInit", "SetProgressState TBPF_INDETERMINATE", "SetProgressState TBPF_NORMAL",
         "SetProgressValue 0", "SetProgressValue 50", "SetProgressValue 100",
         "SetProgressState TBPF_INDETERMINATE", "SetProgressState TBPF_ERROR"});
  }
  expected.insert(expected.end(),
                  {"Shell_NotifyIconW NIM_ADD", "Shell_NotifyIconW NIM_MODIFY NIF_INFO"});
  if (log.front().find("0x00000000") != std::string::npos) {
    expected.push_back("SetProgressState TBPF_NOPROGRESS");
  }
  expected.push_back("Shell_NotifyIconW NIM_DELETE");
  EXPECT_EQ(calls, expected);
}

}  // namespace
}  // namespace dalvorn

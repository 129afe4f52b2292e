// The Windows power guard: the battery read from SYSTEM_POWER_STATUS, and the system held awake
// and the shutdown held off from the click until the window's unload, with a recorder in front
// of each system call that passes it on to the system (needs a display).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/windows/power_guard_windows.h"
#include "emulated_platform.h"
#include "emulation_clock.h"
#include "message_box_gate.h"
#include "scenario.h"
#include "trace/tracing_image_file.h"
#include "trace/tracing_window.h"
#include "ui/frm_main.h"
#include "ui/win32/win32_window_view.h"

#include <windows.h>
#undef MessageBox

namespace dalvorn {
namespace {

struct StatusCase {
  SystemPowerStatus status;
  BatteryState expected;
};

TEST(WindowsBattery, IsKnownWhenASystemBatteryGivesItsCharge) {
  const StatusCase cases[] = {
      {{0, 8, 10}, {true, true, 10}},      // on battery, critical
      {{1, 9, 10}, {true, false, 10}},     // charging
      {{255, 1, 80}, {true, false, 80}},   // power line unknown: not taken as the battery
      {{0, 255, 40}, {true, true, 40}},    // flags unknown, charge given
      {{1, 128, 255}, {false, false, 0}},  // no system battery (a desktop)
      {{0, 128, 50}, {false, false, 0}},   // no system battery, whatever the charge says
      {{0, 2, 255}, {false, false, 0}},    // charge unknown
      {{0, 0, 101}, {false, false, 0}},    // out of range
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.status.acLineStatus) + " " +
                 std::to_string(c.status.batteryFlag) + " " +
                 std::to_string(c.status.batteryLifePercent));
    const BatteryState b = BatteryFromPowerStatus(c.status);
    EXPECT_EQ(b.known, c.expected.known);
    EXPECT_EQ(b.onBattery, c.expected.onBattery);
    EXPECT_EQ(b.percentage, c.expected.percentage);
  }
}

// The recorder: every call the guard makes is a `call` line of this trace, with its result as
// the system gave it (the last error kept for the guard).
TraceWriter* g_trace = nullptr;
void* g_window = nullptr;  // the program's window
WindowsPowerCalls g_system = SystemPowerCalls();
bool g_onBatteryAt10 = false;  // GetSystemPowerStatus reports a battery at 10 % instead

template <typename Result>
Result Recorded(const char* fn, const TraceFields& args, Result result) {
  const DWORD error = ::GetLastError();
  g_trace->Call(fn, args, result);
  ::SetLastError(error);
  return result;
}

const WindowsPowerCalls kRecorder = {
    [](std::uint32_t flags) {
      return Recorded("SetThreadExecutionState", {{"flags", flags}},
                      g_system.setThreadExecutionState(flags));
    },
    [](void* window, const wchar_t* reason) {
      const std::wstring text(reason);
      return Recorded("ShutdownBlockReasonCreate",
                      {{"program_window", window == g_window},
                       {"reason", std::string(text.begin(), text.end())}},
                      g_system.shutdownBlockReasonCreate(window, reason));
    },
    [](void* window) {
      return Recorded("ShutdownBlockReasonDestroy", TraceFields::object(),
                      g_system.shutdownBlockReasonDestroy(window));
    },
    [](SystemPowerStatus& status) {
      if (g_onBatteryAt10) status = {0, 0, 10};
      return Recorded("GetSystemPowerStatus", TraceFields::object(),
                      g_onBatteryAt10 || g_system.getSystemPowerStatus(status));
    },
};

std::uint32_t CurrentExecutionState() {
  const std::uint32_t now = ::SetThreadExecutionState(ES_CONTINUOUS);
  ::SetThreadExecutionState(now);
  return now;
}

struct RunCase {
  const char* name;
  bool closeDuringTheUpdate;
  bool onBatteryAt10;
  int exitCode;
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.name;
}

class WindowsPowerRun : public ::testing::TestWithParam<RunCase> {};

// The whole program in the native window over the emulated device: what the guard asks of the
// system, in order with the window's operations.
TEST_P(WindowsPowerRun, HoldsFromTheClickToTheUnload) {
  const RunCase& c = GetParam();
  const auto folder = std::filesystem::temp_directory_path() / (std::string("power-") + c.name);
  std::filesystem::create_directories(folder);
  std::ofstream(FirmwareImagePath(folder.string()), std::ios::binary) << std::string(400, 'x');

  std::ostringstream text;
  emulator::EmulationClock clock;
  TraceWriter trace(&text, clock);
  g_trace = &trace;
  g_onBatteryAt10 = c.onBatteryAt10;
  emulator::EmulatedPlatform platform(emulator::BuiltInScenario(), clock, trace, folder.string());
  Win32WindowView window;
  emulator::MessageBoxGate gate(window);
  gate.SetDismissed(true);
  TracingWindowView view(gate, trace);
  DiskFirmwareImageFile disk;
  TracingFirmwareImageFile image(disk, trace);
  g_window = window.Window();
  const auto power = MakeWindowsPowerGuard(window.Window(), kRecorder);
  FrmMain frm(platform, view, image, *power);
  view.SetEvents(&frm);
  frm.Form_Load();
  // The close box, taken at the update's first event pump.
  if (c.closeDuringTheUpdate) ::PostMessageW(static_cast<HWND>(window.Window()), WM_CLOSE, 0, 0);
  ::testing::internal::CaptureStderr();
  frm.btnUpgradeFW_Click();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  EXPECT_EQ(frm.ExitCode(), c.exitCode);
  // Let go: the thread no longer keeps the system awake.
  if (!c.onBatteryAt10) {
    EXPECT_EQ(CurrentExecutionState(), ES_CONTINUOUS);
  }

  std::vector<std::string> order;
  bool reasonSet = false;
  std::istringstream lines(text.str());
  for (std::string line; std::getline(lines, line);) {
    const auto l = nlohmann::json::parse(line);
    const std::string fn = l.value("fn", "");
    if (l["ev"] == "window" && (l["op"] == "unload" || l["op"] == "message_box")) {
      order.push_back(l["op"]);
    } else if (fn == "SetThreadExecutionState") {
      order.push_back(fn + " " + l["flags"].dump());
    } else if (fn == "ShutdownBlockReasonCreate") {
      EXPECT_EQ(l["reason"], "Updating the firmware of a device");
      EXPECT_EQ(l["program_window"], true);
      reasonSet = l["result"] == true;
      order.push_back(fn);
    } else if (fn.rfind("ShutdownBlockReason", 0) == 0 || fn == "GetSystemPowerStatus") {
      order.push_back(fn);
    } else if (fn == "HidD_SetFeature" && (order.empty() || order.back() != "send")) {
      order.push_back("send");
    }
  }
  std::vector<std::string> expected = {"GetSystemPowerStatus"};
  if (c.onBatteryAt10) {
    expected.insert(expected.end(), {"message_box", "unload"});
  } else {
    // Wine has no ShutdownBlockReasonCreate (it fails with ERROR_CALL_NOT_IMPLEMENTED): the
    // guard says so, holds the system awake all the same, and has no reason to destroy.
    expected.insert(expected.end(), {"SetThreadExecutionState 2147483649",
                                     "ShutdownBlockReasonCreate", "send", "unload"});
    if (reasonSet) expected.push_back("ShutdownBlockReasonDestroy");
    expected.push_back("SetThreadExecutionState 2147483648");
  }
  EXPECT_EQ(order, expected);
  const bool told = errors.find("ShutdownBlockReasonCreate: GetLastError") != std::string::npos;
  EXPECT_EQ(told, !c.onBatteryAt10 && !reasonSet) << errors;
  g_trace = nullptr;
  g_onBatteryAt10 = false;
  std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowsPowerRun,
                         ::testing::Values(RunCase{"Updated", false, false, 0},
                                           RunCase{"WindowClosed", true, false, 3},
                                           RunCase{"OnBatteryAt10", false, true, 2}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// With a shutdown block reason set (Wine cannot set one, so the recorder grants it here), the
// window answers a shutdown's query "not now" until the release, then as before.
TEST(WindowsPowerGuard, WithAReasonSetTheWindowRefusesTheEndOfTheSessionUntilTheRelease) {
  Win32WindowView window;
  const HWND hwnd = static_cast<HWND>(window.Window());
  const LONG_PTR ownProc = ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
  WindowsPowerCalls calls = SystemPowerCalls();
  calls.shutdownBlockReasonCreate = [](void*, const wchar_t*) { return true; };
  calls.shutdownBlockReasonDestroy = [](void*) { return true; };
  const auto power = MakeWindowsPowerGuard(hwnd, calls);

  EXPECT_EQ(::SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_TRUE(power->Hold());
  EXPECT_EQ(CurrentExecutionState(), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  EXPECT_EQ(::SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), FALSE);
  power->Release();
  power->Release();  // a second release does nothing
  EXPECT_EQ(CurrentExecutionState(), ES_CONTINUOUS);
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC), ownProc);
  EXPECT_EQ(::SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);
}

}  // namespace
}  // namespace dalvorn

// read_accessibility.exe: reads the native window through Microsoft Active Accessibility from
// another process, as a screen reader does, while the emulated runner updates the emulated
// device in real time.
//
//   read_accessibility.exe [SECONDS]
//
// Starts the runner with --real-time, reads each control with AccessibleObjectFromWindow
// (name, role, value, state), presses the button through its default action, follows the
// bar's value until the window closes itself and checks the runner's exit status. Prints what
// it read; exits 1 on a failure.
#include <windows.h>
// After windows.h:
#include <ole2.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/win32/win32_window_view.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  if (!ok) {
    ++failures;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // the window's texts are ASCII
}

struct Read {
  bool ok = false;
  std::wstring name, value;
  long role = 0, state = 0;
};

// Everything a screen reader reads from one control.
Read ReadControl(HWND control) {
  Read r;
  IAccessible* acc = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&acc))) ||
      acc == nullptr) {
    return r;
  }
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  if (acc->get_accName(self, &text) == S_OK && text != nullptr) r.name = text;
  ::SysFreeString(text);
  text = nullptr;
  if (acc->get_accValue(self, &text) == S_OK && text != nullptr) r.value = text;
  ::SysFreeString(text);
  VARIANT v;
  ::VariantInit(&v);
  if (acc->get_accRole(self, &v) == S_OK && v.vt == VT_I4) r.role = v.lVal;
  ::VariantInit(&v);
  if (acc->get_accState(self, &v) == S_OK && v.vt == VT_I4) r.state = v.lVal;
  acc->Release();
  r.ok = true;
  return r;
}

std::string RoleName(long role) {
  wchar_t text[64] = {};
  ::GetRoleTextW(static_cast<DWORD>(role), text, 64);
  return Narrow(text);
}

struct Found {
  DWORD pid;
  HWND window;
};

BOOL CALLBACK FindRunnerWindow(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (pid == found->pid && std::wstring(name) == dalvorn::MainWindowClassName &&
      ::IsWindowVisible(window)) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

HWND Control(HWND window, dalvorn::Control control, bool inFrame) {
  HWND parent = window;
  if (inFrame) parent = ::GetDlgItem(window, dalvorn::ControlId(dalvorn::Control::DeviceFrame));
  return ::GetDlgItem(parent, dalvorn::ControlId(control));
}

std::wstring Folder(const wchar_t* path) {
  std::wstring p(path);
  const auto slash = p.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : p.substr(0, slash);
}

// The loaded window: each value label named by its caption with its text as value, the bar a
// progress bar, the button named by its caption and available.
void CheckLoadedWindow(HWND window) {
  const struct {
    dalvorn::Control control;
    const wchar_t* name;
    const wchar_t* value;
  } labels[] = {{dalvorn::Control::lblManuf, L"Manufacturer", L" Dalvorn"},
                {dalvorn::Control::lblProduct, L"Product", L" Widget"},
                {dalvorn::Control::lblVersion, L"Version", L" 1.2"},
                {dalvorn::Control::lblSerialNumber, L"Serial Number", L" 0001"}};
  for (const auto& l : labels) {
    const Read r = ReadControl(Control(window, l.control, true));
    std::printf("label: name [%s] value [%s] role %s\n", Narrow(r.name).c_str(),
                Narrow(r.value).c_str(), RoleName(r.role).c_str());
    Check(r.ok && r.name == l.name && r.value == l.value && r.role == ROLE_SYSTEM_STATICTEXT,
          "label " + Narrow(l.name));
  }
  const Read b = ReadControl(Control(window, dalvorn::Control::ProgressFill, false));
  std::printf("bar: name [%s] value [%s] role %s invisible %d\n", Narrow(b.name).c_str(),
              Narrow(b.value).c_str(), RoleName(b.role).c_str(),
              (b.state & STATE_SYSTEM_INVISIBLE) != 0);
  Check(b.ok && b.role == ROLE_SYSTEM_PROGRESSBAR, "the bar is not a progress bar");
  // The status line: static text whose name is what it says.
  const Read s = ReadControl(Control(window, dalvorn::Control::lblStatus, false));
  std::printf("status line: name [%s] role %s\n", Narrow(s.name).c_str(), RoleName(s.role).c_str());
  Check(s.ok && s.name.rfind(L"Ready to update.", 0) == 0 && s.role == ROLE_SYSTEM_STATICTEXT,
        "the status line");
  const Read k = ReadControl(Control(window, dalvorn::Control::btnUpgradeFW, false));
  std::printf("button: name [%s] role %s unavailable %d focused %d\n", Narrow(k.name).c_str(),
              RoleName(k.role).c_str(), (k.state & STATE_SYSTEM_UNAVAILABLE) != 0,
              (k.state & STATE_SYSTEM_FOCUSED) != 0);
  Check(k.ok && k.name == L"Upgrade Firmware" && k.role == ROLE_SYSTEM_PUSHBUTTON &&
            (k.state & STATE_SYSTEM_UNAVAILABLE) == 0,
        "the button");
}

// Presses the button through its default action, as a screen reader does.
void Press(HWND button) {
  IAccessible* acc = nullptr;
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  HRESULT pressed = E_FAIL;
  if (SUCCEEDED(::AccessibleObjectFromWindow(button, OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&acc)))) {
    pressed = acc->accDoDefaultAction(self);
    acc->Release();
  }
  Check(SUCCEEDED(pressed), "the button's default action failed");
}

// Reads the bar and the button until the runner ends: the button becomes unavailable, the
// bar's value rises.
void FollowUpdate(HANDLE process, HWND bar, HWND button, DWORD deadline) {
  std::vector<std::wstring> values, captions;
  bool disabledSeen = false;
  while (::WaitForSingleObject(process, 20) == WAIT_TIMEOUT && ::GetTickCount() < deadline) {
    const Read b = ReadControl(bar);
    const Read k = ReadControl(button);
    if (!b.ok || !k.ok) continue;
    if ((b.state & STATE_SYSTEM_INVISIBLE) == 0 && (values.empty() || values.back() != b.value)) {
      values.push_back(b.value);
    }
    if (!k.name.empty() && (captions.empty() || captions.back() != k.name)) {
      captions.push_back(k.name);
    }
    disabledSeen = disabledSeen || (k.state & STATE_SYSTEM_UNAVAILABLE) != 0;
  }
  std::printf("button captions:");
  for (const auto& c : captions) std::printf(" [%s]", Narrow(c).c_str());
  std::printf("\nbutton seen unavailable: %d\nbar values:", disabledSeen);
  int previous = -1, between = 0;
  bool rising = true;
  for (const auto& v : values) {
    std::printf(" %s", Narrow(v).c_str());
    const int percent = std::atoi(Narrow(v).c_str());
    if (percent > 0 && percent < 100) {
      ++between;
      rising = rising && percent >= previous;
      previous = percent;
    }
  }
  std::printf("\n");
  Check(disabledSeen, "the button was never reported unavailable");
  Check(between >= 3, "fewer than three bar values between 0 and 100");
  Check(rising, "the bar's value went down during the transfer");
}

}  // namespace

int main(int argc, char** argv) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring here = Folder(self);
  const std::wstring runner = here + L"\\" DALVORN_RUNNER_FROM_TESTS;
  const std::wstring demo = here + L"\\" DALVORN_DEMO_FROM_TESTS;
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const DWORD deadline = ::GetTickCount() + static_cast<DWORD>(seconds) * 1000;

  std::wstring command = L"\"" + runner + L"\" --real-time --program-dir \"" + demo + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    std::printf("FAIL: cannot start %s\n", Narrow(runner).c_str());
    return 1;
  }
  Found found{process.dwProcessId, nullptr};
  HWND serial = nullptr;
  while (::GetTickCount() < deadline) {
    if (found.window == nullptr) ::EnumWindows(FindRunnerWindow, reinterpret_cast<LPARAM>(&found));
    if (found.window != nullptr) {
      serial = Control(found.window, dalvorn::Control::lblSerialNumber, true);
      if (serial != nullptr && ::GetWindowTextLengthW(serial) > 0) break;
    }
    ::Sleep(50);
  }
  if (found.window == nullptr || serial == nullptr) {
    std::printf("FAIL: no window of the runner came up\n");
    ::TerminateProcess(process.hProcess, 1);
    return 1;
  }

  CheckLoadedWindow(found.window);
  Press(Control(found.window, dalvorn::Control::btnUpgradeFW, false));
  FollowUpdate(process.hProcess, Control(found.window, dalvorn::Control::ProgressFill, false),
               Control(found.window, dalvorn::Control::btnUpgradeFW, false), deadline);

  DWORD status = 1;
  if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    std::printf("FAIL: the runner did not finish\n");
    ::TerminateProcess(process.hProcess, 1);
    ++failures;
  } else {
    ::GetExitCodeProcess(process.hProcess, &status);
    std::printf("runner exit status: %lu\n", status);
    Check(status == 0, "the runner's exit status");
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  std::printf("accessibility (MSAA): %s\n", failures == 0 ? "passed" : "FAILED");
  std::fflush(stdout);
  return failures == 0 ? 0 : 1;
}

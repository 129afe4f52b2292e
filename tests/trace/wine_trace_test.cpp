// The real Windows program started with DALVORN_TRACE, on a host with no device (under Wine:
// the search walks Wine's own HID interfaces), closed by its close box: its trace converts
// into a scenario that replays to the same normalised trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "replay_support.h"

#include <windows.h>

namespace dalvorn::testing {
namespace {

constexpr wchar_t kMainWindowClass[] = L"DalvornFrmMain";

std::filesystem::path ProgramPath() {
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  return std::filesystem::path(module).parent_path() / DALVORN_PROGRAM_FROM_TESTS;
}

// Starts the program with DALVORN_TRACE set, closes its window once it is up and returns its
// exit status; -1 when it did not come up or end in time.
int RunAndClose(const std::filesystem::path& trace) {
  ::SetEnvironmentVariableW(L"DALVORN_TRACE", trace.wstring().c_str());
  std::wstring commandLine = L"\"" + ProgramPath().wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableW(L"DALVORN_TRACE", nullptr);
  if (!started) return -1;
  ::WaitForInputIdle(process.hProcess, 60000);
  HWND window = nullptr;
  // The load ends before the window takes messages; its message loop then answers this one.
  for (int tries = 0; tries < 600 && window == nullptr; ++tries) {
    window = ::FindWindowW(kMainWindowClass, nullptr);
    if (window == nullptr) ::WaitForSingleObject(process.hProcess, 100);
  }
  if (window != nullptr)
    ::SendMessageTimeoutW(window, WM_SYSCOMMAND, SC_CLOSE, 0, 0, 30000, nullptr);
  DWORD exitCode = static_cast<DWORD>(-1);
  if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.hProcess, &exitCode);
  } else {
    ::TerminateProcess(process.hProcess, 99);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return window != nullptr ? static_cast<int>(exitCode) : -1;
}

TEST(WineTrace, OfTheRealProgramWithNoDeviceReplaysToTheSameNormalisedTrace) {
  const auto folder = ImageFolder("wine", 80);
  const auto tracePath = folder / "trace.jsonl";
  ASSERT_EQ(RunAndClose(tracePath), 0);

  std::ifstream in(tracePath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const auto recorded = Lines(text.str());
  ASSERT_GE(recorded.size(), 4u) << text.str();
  EXPECT_EQ(recorded.front().value("op", ""), "show");
  EXPECT_EQ(recorded.back().dump(), R"({"t":)" + std::to_string(recorded.back().value("t", 0)) +
                                        R"(,"ev":"exit","code":0})");
  // The replay's folder as the program's own: the status line tells whether it holds an image.
  const auto image = ProgramPath().parent_path() / "Varnholt.bin";
  std::filesystem::remove(folder / "Varnholt.bin");
  if (std::filesystem::exists(image)) std::filesystem::copy_file(image, folder / "Varnholt.bin");
  EXPECT_EQ(ReplayDifference(recorded, folder), "");
}

}  // namespace
}  // namespace dalvorn::testing

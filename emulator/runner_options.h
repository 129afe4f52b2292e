// The emulated runner's command line, shared by the runners over every toolkit.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dalvorn::emulator {

struct RunnerOptions {
  std::optional<std::string> scenarioPath;  // none: the built-in scenario
  std::string programDir;                   // stands for the executable's folder
  std::string tracePath;                    // empty: no trace
  bool click = false;
  bool closeAfterLoad = false;
  int closeAtPump = 0;  // 0: never
  int clickAtPump = 0;  // 0: never
  std::string screenshotPath;
  bool realTime = false;
};

// Exit statuses of the runner's own failures, apart from the program's exit statuses.
inline constexpr int UsageExitStatus = 64;
inline constexpr int ScenarioExitStatus = 65;
inline constexpr int TraceExitStatus = 73;

// Reads the arguments after the program name. `ownFolder` is the default program folder.
// False with `error` set when they are not understood.
bool ParseRunnerOptions(const std::vector<std::string>& arguments, const std::string& ownFolder,
                        RunnerOptions& options, std::string& error);

std::string RunnerUsage();

// A path given as UTF-8 text (as every path of the command line is), as the file system takes
// it: on Windows the text is not in the ANSI code page.
std::filesystem::path PathFromUtf8(const std::string& utf8);

}  // namespace dalvorn::emulator

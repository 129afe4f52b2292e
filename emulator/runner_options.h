// The emulated runner's command line, shared by the runners over every toolkit.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "update/firmware_signature.h"

namespace dalvorn::emulator {

struct RunnerOptions {
  std::optional<std::string> scenarioPath;  // none: the built-in scenario
  std::string programDir;                   // stands for the executable's folder
  std::string tracePath;                    // empty: no trace
  bool click = false;
  bool closeAfterLoad = false;
  int closeAtPump = 0;  // 0: never
  int clickAtPump = 0;  // 0: never
  // Virtual milliseconds the window idles after its load, before the click or the close.
  std::int64_t idleMs = 0;
  std::string screenshotPath;
  bool realTime = false;
  // PEM files of the public keys to check the image's signature with, as a build made with
  // them does; none: the runner's own build's keys (none by default).
  std::vector<std::string> publicKeyPaths;
};

// Exit statuses of the runner's own failures, apart from the program's exit statuses.
inline constexpr int UsageExitStatus = 64;
inline constexpr int ScenarioExitStatus = 65;
inline constexpr int PublicKeyExitStatus = 66;
inline constexpr int TraceExitStatus = 73;
// The run was still going when the runner's time limit came (run_time_limit.h).
inline constexpr int RunTimeLimitExitStatus = 75;

// Reads the arguments after the program name. `ownFolder` is the default program folder.
// False with `error` set when they are not understood.
bool ParseRunnerOptions(const std::vector<std::string>& arguments, const std::string& ownFolder,
                        RunnerOptions& options, std::string& error);

std::string RunnerUsage();

// The keys the run checks the image's signature with: those of the PEM files the options name,
// or, when they name none, the build's own. False with `error` set when a file cannot be read
// or is not a P-256 public key.
bool RunnerPublicKeys(const RunnerOptions& options, FirmwareKeys& keys, std::string& error);

// A path given as UTF-8 text (as every path of the command line is), as the file system takes
// it: on Windows the text is not in the ANSI code page.
std::filesystem::path PathFromUtf8(const std::string& utf8);

}  // namespace dalvorn::emulator

// Programs started as processes, as a person starts them (POSIX): standard input from nowhere,
// standard output to a descriptor or nowhere, standard error to a pipe the caller reads. Used by
// the process tests and the trace tool's benchmark.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace dalvorn::testing {

struct ChildProcess {
  pid_t pid = -1;  // -1: it could not be started
  int err = -1;    // the reading end of its standard error
};

// Starts `argv` with `env` added to this process's environment, in `folder` (empty: this
// process's own); its standard output goes to `out`, or nowhere when -1.
ChildProcess StartProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& env = {},
                          const std::filesystem::path& folder = {}, int out = -1);

// Waits for the child's end, reading what is left of its standard error: its exit status, or
// 1000 + the signal that ended it. `peakKiB`, when given, takes its peak resident set.
int WaitForProcess(ChildProcess& child, long* peakKiB = nullptr);

// Ends a child still running as a person closing a hung program would (SIGTERM), and waits for
// it as WaitForProcess does.
int StopProcess(ChildProcess& child);

}  // namespace dalvorn::testing

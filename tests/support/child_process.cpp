#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace dalvorn::testing {

ChildProcess StartProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::filesystem::path& folder, int out) {
  int err[2];
  if (argv.empty() || ::pipe2(err, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out >= 0) {
    posix_spawn_file_actions_adddup2(&actions, out, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<std::string> environment = env;
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  std::vector<char*> args, vars;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const auto& v : environment) vars.push_back(const_cast<char*>(v.c_str()));
  args.push_back(nullptr);
  vars.push_back(nullptr);
  ChildProcess child;
  if (::posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), vars.data()) != 0) {
    child.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(err[1]);
  child.err = err[0];
  return child;
}

int WaitForProcess(ChildProcess& child, long* peakKiB) {
  // A child that writes much to its standard error must never wait for room in the pipe.
  char chunk[4096];
  while (child.err >= 0 && ::read(child.err, chunk, sizeof chunk) > 0) {
  }
  if (child.err >= 0) ::close(child.err);
  child.err = -1;
  int status = 0;
  rusage usage{};
  if (child.pid <= 0 || ::wait4(child.pid, &status, 0, &usage) != child.pid) return -1;
  child.pid = -1;
  if (peakKiB != nullptr) *peakKiB = usage.ru_maxrss;  // kilobytes on Linux
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

int StopProcess(ChildProcess& child) {
  if (child.pid > 0) ::kill(child.pid, SIGTERM);
  return WaitForProcess(child);
}

}  // namespace dalvorn::testing

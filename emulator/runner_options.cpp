#include "emulator/runner_options.h"

#include <algorithm>
#include <exception>

namespace dalvorn::emulator {
namespace {

bool ReadCount(const std::string& option, const std::string& text, int& into, std::string& error) {
  std::size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < 1) {
    error = option + " needs a whole number from 1 on, not \"" + text + "\"";
    return false;
  }
  into = value;
  return true;
}

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  std::u8string text(utf8.size(), u8'\0');
  std::transform(utf8.begin(), utf8.end(), text.begin(),
                 [](char c) { return static_cast<char8_t>(c); });
  return std::filesystem::path(text);
}

std::string RunnerUsage() {
  return "usage: dalvorn-firmware-update-emulated [SCENARIO.json] [options]\n"
         "  --program-dir DIR     the folder that stands for the executable's folder\n"
         "  --trace FILE          write the trace to FILE\n"
         "  --click               click the upgrade button once the window has loaded\n"
         "  --close-after-load    close the window once it has loaded (without --click; also\n"
         "                        the default when neither --click nor --real-time is given)\n"
         "  --close-at-pump N     close the window at the N-th event pump after the click\n"
         "  --click-at-pump N     click the upgrade button again at the N-th event pump\n"
         "  --screenshot FILE     save a PNG of the window once it has loaded\n"
         "  --real-time           pauses really wait; the device follows the wall clock\n";
}

bool ParseRunnerOptions(const std::vector<std::string>& arguments, const std::string& ownFolder,
                        RunnerOptions& options, std::string& error) {
  options = RunnerOptions{};
  options.programDir = ownFolder;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= arguments.size()) {
        error = arg + " needs a value";
        return false;
      }
      into = arguments[++i];
      return true;
    };
    std::string text;
    if (arg == "--program-dir") {
      if (!value(options.programDir)) return false;
    } else if (arg == "--trace") {
      if (!value(options.tracePath)) return false;
    } else if (arg == "--screenshot") {
      if (!value(options.screenshotPath)) return false;
    } else if (arg == "--click") {
      options.click = true;
    } else if (arg == "--close-after-load") {
      options.closeAfterLoad = true;
    } else if (arg == "--real-time") {
      options.realTime = true;
    } else if (arg == "--close-at-pump") {
      if (!value(text) || !ReadCount(arg, text, options.closeAtPump, error)) return false;
    } else if (arg == "--click-at-pump") {
      if (!value(text) || !ReadCount(arg, text, options.clickAtPump, error)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (options.scenarioPath) {
      error = "more than one scenario file: " + arg;
      return false;
    } else {
      options.scenarioPath = arg;
    }
  }
  return true;
}

}  // namespace dalvorn::emulator

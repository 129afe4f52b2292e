#include "runner_options.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "file/regular_file.h"
#include "update/signature_pem.h"

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

// A number of milliseconds from 0 to 2^31 - 1 (almost 25 days).
bool ReadMilliseconds(const std::string& option, const std::string& text, std::int64_t& into,
                      std::string& error) {
  const bool digits = !text.empty() && text.size() <= 10 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  const std::int64_t value = digits ? std::stoll(text) : -1;
  if (value < 0 || value > 0x7FFFFFFF) {
    error = option + " needs a whole number of milliseconds from 0 on, not \"" + text + "\"";
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
         "  --idle-ms N           after the load, let N milliseconds pass idle, delivering the\n"
         "                        scenario's notifications as they fall due, before the click\n"
         "                        or the close\n"
         "  --screenshot FILE     save a PNG of the window once it has loaded (and idled)\n"
         "  --real-time           pauses really wait; the device follows the wall clock\n"
         "  --public-key PEM      check the image's signature with this public key, as a\n"
         "                        build made with it does (repeatable: several keys; one\n"
         "                        key a file)\n"
         "exit status: the program's own (0 updated or nothing to do, 1 the update failed,\n"
         "2 refused before anything was sent, 3 the window was closed during the update), or\n"
         "the runner's: 64 the command line is wrong, 65 the scenario cannot be read, 66 a\n"
         "public key cannot be read, 73 the trace cannot be written whole, 75 the run was\n"
         "still going after 3 hours on its clock (a device that never comes back): its window\n"
         "was closed, and the trace ends as after a close\n";
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
    } else if (arg == "--public-key") {
      if (!value(text)) return false;
      options.publicKeyPaths.push_back(text);
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
    } else if (arg == "--idle-ms") {
      if (!value(text) || !ReadMilliseconds(arg, text, options.idleMs, error)) return false;
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

bool RunnerPublicKeys(const RunnerOptions& options, FirmwareKeys& keys, std::string& error) {
  if (options.publicKeyPaths.empty()) {
    keys = BuiltInFirmwareKeys();
    return true;
  }
  keys.clear();
  // A PEM public key is a few hundred bytes; a file much larger is none.
  constexpr std::uint64_t MaxPemBytes = 8192;
  for (const std::string& path : options.publicKeyPaths) {
    // Read as the image is: a FIFO or a device is refused at once, never waited on.
    std::vector<std::uint8_t> bytes;
    std::string why;
    FirmwarePublicKey key;
    if (!ReadRegularFile(path, MaxPemBytes, bytes, why)) {
      why = "cannot be read (" + why + ")";
    } else {
      ReadPublicKeyPem(std::string(bytes.begin(), bytes.end()), key, why);
    }
    if (!why.empty()) {
      error = "--public-key " + path + ": " + why;
      return false;
    }
    keys.push_back(key);
  }
  return true;
}

}  // namespace dalvorn::emulator

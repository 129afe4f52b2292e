// One table of updates followed from afar, run through the headless window, the Qt runner and
// the Win32 runner alike: what the status line says in the waits, how honest its time left is
// during the transfer, the taskbar's progress and states, and the notification at the end.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "runner_run.h"
#include "update/notification_texts.h"
#include "update/status_texts.h"

namespace dalvorn::testing {

struct ProgressCase {
  const char* name;
  const char* scenario;
  long imageBytes;
  int exitCode;
  bool switches;        // the device starts in application mode: the line waits for its bootloader
  bool restarts;        // every block was sent: the line waits for the restart
  int closeAtPump;      // the person closes the window at this event pump after the click; 0: never
  const char* failure;  // the taskbar shows an error; the failure's text starts so
  const char* notified;  // the one notification's body; null: none
};

// The runner's options for the case, beside the scenario, the program folder and the trace.
inline std::vector<std::string> ProgressArguments(const ProgressCase& c) {
  std::vector<std::string> args = {"--click"};
  if (c.closeAtPump > 0)
    args.insert(args.end(), {"--close-at-pump", std::to_string(c.closeAtPump)});
  return args;
}

inline void PrintTo(const ProgressCase& c, std::ostream* os) {
  *os << c.name;
}

inline const std::vector<ProgressCase>& ProgressCases() {
  static const std::vector<ProgressCase> cases = {
      {"OneMebibyteFromApplicationMode",
       R"({"device": {"app_after_update": {"version": "0x0103"}}})", 1L << 20, 0, true, true, 0,
       nullptr, "Widget now runs version 1.3."},
      {"FromTheBootloader", R"({"device": {"mode": "boot"}})", 4000, 0, false, true, 0, nullptr,
       "Widget now runs version 1.2."},
      {"ARefusedBlock", R"({"device": {"refuse_block": 60}})", 4000, 1, true, false, 0,
       "The device refused data block 60 of 100.", "The device refused data block 60 of 100."},
      {"NeverSwitched", R"({"device": {"on_boot_entry": {"as": "app", "back_after_ms": 0}}})", 4000,
       1, true, false, 0, "The device did not switch", nullptr},
      {"RefusedAtTheClick", R"({"power": {"on_battery": true, "percentage": 10}})", 4000, 2, false,
       false, 0, nullptr, nullptr},
      {"ClosedByThePerson", R"({"device": {}})", 4000, 3, true, false, 12, nullptr, nullptr},
  };
  return cases;
}

// The minutes a time-left text says; -1 for another text.
inline int SaidMinutes(const std::string& status) {
  if (status.find(TimeLeftText(0)) != std::string::npos) return 0;
  if (status.find(TimeLeftText(60)) != std::string::npos) return 1;
  const auto about = status.find("About ");
  if (about == std::string::npos || status.find(" minutes left.") == std::string::npos) return -1;
  return std::atoi(status.c_str() + about + 6);
}

// The taskbar's and the notification's lines of a run against its case: the progress rising to
// 100 at most 4 times a second, waiting before the first block and after the last, the error
// while the failure is told, none at the end; one notification when the update ended after the
// device switched, none otherwise.
inline std::string CheckDesktopLines(const ProgressCase& c,
                                     const std::vector<nlohmann::json>& trace) {
  std::string wrong, states, notified;
  std::vector<std::int64_t> progressAt;
  int value = -1, notifications = 0;
  bool waitedBefore = false, waitedAfter = false;
  for (const nlohmann::json& l : trace) {
    const std::string ev = l.value("ev", ""), op = l.value("op", "");
    if (ev == "taskbar" && op == "progress") {
      if (l.value("value", -1) < value || l.value("value", -1) > 100) wrong += "progress falls\n";
      value = l.value("value", -1);
      progressAt.push_back(l.value("t", std::int64_t{0}));
      const std::size_t n = progressAt.size();
      if (n > 4 && progressAt[n - 1] - progressAt[n - 5] < 1000) wrong += "5 values a second\n";
    }
    if (ev == "taskbar" && op == "state") {
      const std::string state = l.value("state", "");
      states += state + " ";
      waitedBefore |= state == "waiting" && value < 0;
      waitedAfter |= state == "waiting" && value == 100;
    }
    if (op == "message_box" && c.failure && l.value("text", "").rfind(c.failure, 0) != 0) {
      wrong += "message box " + l.value("text", "") + "\n";
    }
    if (ev == "notify") {
      ++notifications;
      notified = l.value("body", "");
      if (l.value("title", "") != (c.failure ? UpdateFailedTitle() : UpdatedTitle())) {
        wrong += "notify title " + l.value("title", "") + "\n";
      }
    }
  }
  const bool started = c.exitCode != 2;
  if (started != waitedBefore) wrong += "waiting before the blocks: " + states + "\n";
  if (c.restarts != (value == 100 && waitedAfter))
    wrong += "to 100, then waiting: " + states + "\n";
  if ((c.failure != nullptr) != (states.find("error") != std::string::npos)) wrong += states + "\n";
  if (started != (states.size() >= 5 && states.compare(states.size() - 5, 5, "none ") == 0)) {
    wrong += "not none at the end: " + states + "\n";
  }
  if (notifications != (c.notified ? 1 : 0) || (c.notified && notified.rfind(c.notified, 0) != 0)) {
    wrong += std::to_string(notifications) + " notifications: " + notified + "\n";
  }
  return wrong;
}

// Checks one run against its case: the waits' texts, the time left at a quarter, half and three
// quarters of the blocks within 5 % or a minute of the time the rest of the blocks took, and at
// most one change of it a second; and the desktop's lines. Empty when all hold.
inline std::string CheckProgressRun(const ProgressCase& c, const std::vector<nlohmann::json>& trace,
                                    int exitCode) {
  std::string wrong = CheckDesktopLines(c, trace);
  if (exitCode != c.exitCode) wrong += "exit status " + std::to_string(exitCode) + "\n";
  std::vector<std::int64_t> blocks;  // the time of each data block's send
  std::vector<int> saidAtBlock;      // the minutes said when the block was sent
  int said = -1;
  std::int64_t lastChange = -1000000;
  bool waitedForBootloader = false, waitedForRestart = false;
  for (const nlohmann::json& l : trace) {
    const std::string op = l.value("op", ""), fn = l.value("fn", "");
    const std::int64_t t = l.value("t", std::int64_t{0});
    if (op == "status") {
      const std::string text = l.value("text", "");
      waitedForBootloader |= text == WaitingForBootloaderText() && blocks.empty();
      waitedForRestart |= text == WaitingForRestartText() && !blocks.empty();
      if (const int minutes = SaidMinutes(text); minutes >= 0) {
        if (t - lastChange < 1000)
          wrong += "time left changed twice in a second at " + std::to_string(t) + "\n";
        said = minutes;
        lastChange = t;
      }
    }
    const std::string data = l.value("data", "");
    if (fn == "HidD_SetFeature" && data.rfind("00b0071d", 0) != 0 &&
        data.rfind("00554e4c4b", 0) != 0) {
      if (!saidAtBlock.empty()) saidAtBlock.back() = said;
      blocks.push_back(t);
      saidAtBlock.push_back(-1);
    }
  }
  if (!saidAtBlock.empty()) saidAtBlock.back() = said;
  if (c.switches != waitedForBootloader) wrong += "the wait for the bootloader\n";
  if (c.restarts != waitedForRestart) wrong += "the wait for the restart\n";
  if (!c.restarts || blocks.size() < 8) return wrong;
  for (const std::size_t k : {blocks.size() / 4, blocks.size() / 2, blocks.size() * 3 / 4}) {
    // The time the blocks after the k-th took, a pace after the last one included.
    const double trueSeconds = static_cast<double>(blocks.back() - blocks[k - 1] + 20) / 1000;
    const double saidSeconds = 60.0 * saidAtBlock[k - 1];
    const double off =
        saidSeconds > trueSeconds ? saidSeconds - trueSeconds : trueSeconds - saidSeconds;
    if (saidAtBlock[k - 1] < 0 || (off > 60 && off > trueSeconds / 20)) {
      wrong += "block " + std::to_string(k) + ": said " + std::to_string(saidAtBlock[k - 1]) +
               " minutes, " + std::to_string(trueSeconds) + " s left\n";
    }
  }
  return wrong;
}

// Runs `c` through `run` with its image; "" when the run went as the case says.
inline std::string RunProgressCase(const ProgressCase& c, const Runner& run) {
  const ScratchFolder folder;
  std::string image(static_cast<std::size_t>(c.imageBytes), '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 3);
  folder.Write("Varnholt.bin", image);
  std::vector<std::string> args = ProgressArguments(c);
  args.insert(args.end(),
              {folder.Write("scenario.json", c.scenario), "--program-dir", folder.Path()});
  const RunnerRun r = RunRunner(run, args, folder);
  return CheckProgressRun(c, r.lines, r.exitCode);
}

}  // namespace dalvorn::testing

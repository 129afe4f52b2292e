// The image is in hand before the device is touched, and every failure is told: refusals
// leave the device untouched in its mode, the transfer sends what was read at the click, and
// a failed update says so before the window closes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "device/device_codes.h"
#include "emulated_host.h"

namespace dalvorn::testing {
namespace {

namespace fs = std::filesystem;

std::size_t IndexOf(const std::vector<json>& trace, const std::function<bool(const json&)>& is) {
  for (std::size_t i = 0; i < trace.size(); ++i) {
    if (is(trace[i])) return i;
  }
  return trace.size();
}

bool IsWindowOp(const json& line, const char* op) {
  return line["ev"] == "window" && line["op"] == op;
}

struct Refusal {
  const char* name;
  std::function<void(const fs::path&)> make;
  const char* reason;
  const char* reasonBeforeTheClick;  // the look before the click reads nothing of the file
};

// Each image the click refuses, made before the load (the status line says why and the button
// stays disabled: the click sends nothing) and made after it, unseen by the window (the click's
// own check refuses it, tells why and sends nothing).
TEST(SafeUpdate, AnImageThatCannotBeUsedIsRefusedBeforeTheDeviceIsSentAByte) {
  const Refusal refusals[] = {
      {"missing", [](const fs::path&) {}, "No such file or directory", nullptr},
      {"directory", [](const fs::path& p) { fs::create_directories(p); }, "directory", nullptr},
      {"FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       "not a regular file", nullptr},
      {"read error", [](const fs::path& p) { fs::create_symlink("/proc/self/mem", p); },
       "Input/output error", "it holds 0 bytes"},
      {"empty", [](const fs::path& p) { std::ofstream(p, std::ios::binary); }, "0 bytes", nullptr},
      {"39 bytes",
       [](const fs::path& p) { std::ofstream(p, std::ios::binary) << std::string(39, 'x'); },
       "39 bytes", nullptr},
      {"over 16 MiB",
       [](const fs::path& p) {
         { std::ofstream create(p, std::ios::binary); }
         fs::resize_file(p, MaxFirmwareImageBytes + 1);
       },
       "larger than 16,777,216 bytes", nullptr},
  };
  for (const char* mode : {"app", "boot"}) {
    for (const Refusal& r : refusals) {
      SCOPED_TRACE(std::string(mode) + ", " + r.name);
      const std::string scenario = std::string(R"({"device": {"mode": ")") + mode + "\"}}";
      {
        EmulatedHost before(scenario, -1);
        r.make(before.ImagePath());
        before.Load();
        const std::string status = before.view.captions[Control::lblStatus];
        EXPECT_EQ(status.rfind("The firmware image \"Varnholt.bin\" cannot be read: ", 0), 0u);
        const char* said = r.reasonBeforeTheClick != nullptr ? r.reasonBeforeTheClick : r.reason;
        EXPECT_NE(status.find(said), std::string::npos) << status;
        EXPECT_FALSE(before.view.enabled[Control::btnUpgradeFW]);
        before.Click();
        EXPECT_EQ(before.Finish(), 0);
        EXPECT_TRUE(before.Events("image").empty());
      }

      EmulatedHost host(scenario, 4000);
      host.Load();
      fs::remove(host.ImagePath());
      r.make(host.ImagePath());
      const std::size_t loaded = host.Trace().size();
      host.Click();
      EXPECT_EQ(host.Finish(), 2);

      ASSERT_EQ(host.view.messageBoxes.size(), 1u);
      const std::string& box = host.view.messageBoxes[0];
      EXPECT_NE(box.find(host.ImagePath().string()), std::string::npos) << box;
      EXPECT_NE(box.find(r.reason), std::string::npos) << box;
      EXPECT_TRUE(host.platform.Device().Flash().empty());
      EXPECT_EQ(host.platform.Device().Mode(), std::string(mode) == "app"
                                                   ? emulator::DeviceMode::App
                                                   : emulator::DeviceMode::Boot);
      EXPECT_EQ(host.platform.OpenObjectCount(), 0u);

      // After the load: the button disabled, the refusal, its box, the unload with its
      // closes, and nothing else reaches the device.
      const auto trace = host.Trace();
      std::vector<std::string> after;
      for (std::size_t i = loaded; i < trace.size(); ++i) {
        const json& line = trace[i];
        if (line["ev"] == "call") {
          EXPECT_EQ(line["fn"], "CloseHandle") << line.dump();
          continue;
        }
        after.push_back(line["ev"].get<std::string>() + ":" + line.value("op", ""));
      }
      EXPECT_EQ(after, (std::vector<std::string>{"window:enabled", "image:load",
                                                 "window:message_box", "window:unload",
                                                 "window:terminate", "device:flash", "exit:"}));
      EXPECT_NE(trace[loaded + 1]["error"].get<std::string>().find(r.reason), std::string::npos);
    }
  }
}

TEST(SafeUpdate, TheTransferSendsTheImageAsItWasAtTheClick) {
  // The file is rewritten, longer, at the third event pump of the transfer.
  EmulatedHost host(R"({"device": {"mode": "boot"}})", 400);
  const std::vector<std::uint8_t> first = host.Image();
  host.Load();
  emulator::PumpInjections injections;
  injections.clickAtPump = 3;
  injections.click = [&host] {
    std::ofstream(host.ImagePath(), std::ios::binary | std::ios::trunc) << std::string(4000, 'z');
  };
  host.injectingView.Arm(injections);
  host.Click();
  EXPECT_EQ(host.Finish(), 0);
  EXPECT_EQ(host.platform.Device().Flash(), first);
  EXPECT_EQ(host.Events("image").size(), 1u);
  for (const double width : host.ProgressWidths()) {
    EXPECT_GE(width, 0.0);
    EXPECT_LT(width, 5055.0);
  }
}

struct Failure {
  const char* name;
  const char* device;
  const char* says;
};

TEST(SafeUpdate, AFailedUpdateSaysWhatFailedAfterTheHandlesAreClosed) {
  const Failure failures[] = {
      {"refused block", R"("refuse_block": 3)", "refused data block 3 of 10"},
      {"no answer", R"("boot": {"strings": {"product": "Boot"}})", "did not answer"},
      {"back in bootloader mode",
       R"("on_restart": {"leave_after_ms": 0, "back_after_ms": 500, "as": "boot"})",
       "restarted in bootloader mode"},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.name);
    EmulatedHost host(std::string(R"({"device": {)") + f.device + "}}", 400);
    host.Load();
    host.Click();
    EXPECT_EQ(host.Finish(), 1);
    ASSERT_EQ(host.view.messageBoxes.size(), 1u);
    const std::string& box = host.view.messageBoxes[0];
    EXPECT_NE(box.find(f.says), std::string::npos) << box;
    EXPECT_NE(box.find("left in bootloader mode"), std::string::npos) << box;
    EXPECT_NE(box.find("start the program again"), std::string::npos) << box;

    // The box comes after the closes of the device's handles and before the unload.
    const auto trace = host.Trace();
    const std::size_t boxAt =
        IndexOf(trace, [](const json& l) { return IsWindowOp(l, "message_box"); });
    const std::size_t unloadAt =
        IndexOf(trace, [](const json& l) { return IsWindowOp(l, "unload"); });
    ASSERT_LT(boxAt, unloadAt);
    std::vector<std::string> callsBefore;
    for (std::size_t i = 0; i < boxAt; ++i) {
      if (trace[i]["ev"] == "call") callsBefore.push_back(trace[i]["fn"]);
    }
    ASSERT_GE(callsBefore.size(), 2u);
    EXPECT_EQ(callsBefore[callsBefore.size() - 1], "CloseHandle");
    EXPECT_EQ(callsBefore[callsBefore.size() - 2], "CloseHandle");
  }
}

TEST(SafeUpdate, AGoodUpdateAndAWindowClosedByThePersonShowNoBox) {
  for (const int closeAtPump : {0, 4}) {
    SCOPED_TRACE(closeAtPump);
    EmulatedHost host(R"({"device": {}})", 400);
    host.Load();
    if (closeAtPump != 0) host.CloseAtPump(closeAtPump);
    host.Click();
    EXPECT_EQ(host.Finish(), closeAtPump != 0 ? 3 : 0);
    EXPECT_TRUE(host.view.messageBoxes.empty());
  }
}

TEST(SafeUpdate, EachBlockIsPacedFromTheEndOfItsSendAfterTheBarAndThePump) {
  EmulatedHost host(R"({"device": {"mode": "boot"}})", 120);
  host.Load();
  host.Click();
  const auto trace = host.Trace();
  std::vector<std::string> perBlock;
  bool sending = false;
  for (const json& line : trace) {
    if (IsWindowOp(line, "caption")) sending = line["text"] == "Updating firmware...";
    if (!sending) continue;
    if (line["ev"] == "call") {
      perBlock.push_back(line["fn"].get<std::string>() +
                         (line["fn"] == "Sleep" ? " " + line["ms"].dump() : ""));
    } else if (line["ev"] == "window" && line["op"] != "caption") {
      perBlock.push_back(line["op"]);
    }
  }
  const std::vector<std::string> block = {"HidD_SetFeature", "width", "repaint", "pump",
                                          "Sleep 20"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), block.begin(), block.end());
  EXPECT_EQ(perBlock, expected);
}

}  // namespace
}  // namespace dalvorn::testing

// The trace's lines as other tools read them: field names, order, value types.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "device/device_codes.h"
#include "emulated_platform.h"
#include "platform_host.h"
#include "pump_injections.h"
#include "trace/tracing_image_file.h"
#include "trace/tracing_window.h"

namespace dalvorn::emulator {
namespace {

using testing::PrintTo;

using testing::PlatformHost;
using testing::Report;

std::vector<std::string> RawLines(const std::ostringstream& out) {
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(CallLines, CarryTheClockTheArgumentsAndTheResultLast) {
  PlatformHost host(R"({"device": {"mode": "boot", "boot": {"report_length": 4}}})");
  host.platform.Sleep(25);
  const Handle h = host.OpenDevice();
  host.Send(h, {0x00, 0xAB, 0x0C, 0xFF});
  Handle preparsed = 0;
  host.platform.HidD_GetPreparsedData(h, preparsed);
  HidpCaps caps;
  host.platform.HidP_GetCaps(preparsed, caps);
  host.platform.CloseHandle(InvalidHandle);
  const std::vector<std::string> lines = RawLines(host.out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], R"({"t":0,"ev":"call","fn":"Sleep","ms":25,"result":null})");
  const auto created = nlohmann::ordered_json::parse(lines[1]);
  std::vector<std::string> keys;
  for (const auto& item : created.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"t", "ev", "fn", "path", "overlapped", "result"}));
  EXPECT_EQ(created["t"], 25);
  EXPECT_EQ(created["path"], EmulatedPlatform::DevicePath(DeviceMode::Boot));
  EXPECT_EQ(created["overlapped"], false);
  EXPECT_EQ(created["result"], h);
  EXPECT_EQ(lines[2], R"({"t":25,"ev":"call","fn":"HidD_SetFeature","handle":)" +
                          std::to_string(h) + R"(,"length":4,"data":"00ab0cff","result":1})");
  EXPECT_EQ(nlohmann::json::parse(lines[4])["result"], 0x110000);
  EXPECT_EQ(nlohmann::json::parse(lines[4])["feature_report_length"], 4);
  EXPECT_EQ(lines[5], R"({"t":25,"ev":"call","fn":"CloseHandle","handle":-1,"result":0})");
}

TEST(CallLines, DetailAndEnumerationCarryTheirArguments) {
  PlatformHost host("{}");
  host.Enumerate();
  const auto lines = host.Lines();
  std::vector<std::string> fns;
  for (const auto& line : lines) fns.push_back(line["fn"]);
  EXPECT_EQ(fns, (std::vector<std::string>{
                     "HidD_GetHidGuid", "SetupDiGetClassDevsA", "SetupDiEnumDeviceInterfaces",
                     "SetupDiGetDeviceInterfaceDetailA", "SetupDiGetDeviceInterfaceDetailA",
                     "SetupDiEnumDeviceInterfaces", "SetupDiDestroyDeviceInfoList"}));
  EXPECT_TRUE(lines[0]["result"].is_null());
  EXPECT_EQ(lines[2]["index"], 0);
  EXPECT_EQ(lines[5]["index"], 1);
  EXPECT_EQ(lines[5]["result"], 0);
  const int needed = lines[3]["needed"];
  EXPECT_EQ(lines[3]["size"], 0);
  EXPECT_EQ(lines[3]["result"], 0);
  EXPECT_EQ(lines[4]["size"], needed);
  EXPECT_EQ(lines[4]["result"], 1);
}

TEST(DeviceLines, UnlockFollowsItsCallAndFlashHashesTheAcceptedRecords) {
  PlatformHost host(R"({"device": {"mode": "boot", "refuse_block": 2}})");
  const Handle h = host.OpenDevice();
  host.Send(h, Report(41, {UnlockCode.begin(), UnlockCode.end()}));
  host.Send(h, Report(41, {'a', 'b', 'c'}));
  host.Send(h, Report(41, {'x'}));
  host.platform.WriteFlashLine();
  const auto lines = host.Lines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], nlohmann::json::parse(R"({"t":0,"ev":"device","op":"unlocked"})"));
  std::vector<std::uint8_t> record = Report(41, {'a', 'b', 'c'});
  record.erase(record.begin());
  EXPECT_EQ(lines[5]["op"], "flash");
  EXPECT_EQ(lines[5]["bytes"], 40);
  EXPECT_EQ(lines[5]["sha256"], Sha256Hex(record));
}

TEST(Sha256, MatchesPublishedDigests) {
  const std::vector<std::pair<std::string, std::string>> table = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [text, digest] : table) {
    EXPECT_EQ(Sha256Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), digest)
        << text.size() << " bytes";
  }
}

// A view that records what reaches it, for the decorators.
class RecordingView final : public WindowView {
 public:
  void SetEvents(WindowEvents* e) override { events = e; }
  void Show() override { calls.push_back("Show"); }
  float Width(Control) const override { return 5055.0f; }
  void SetWidth(Control, float) override { calls.push_back("SetWidth"); }
  void SetVisible(Control, bool) override { calls.push_back("SetVisible"); }
  void SetEnabled(Control, bool) override { calls.push_back("SetEnabled"); }
  void SetCaption(Control, const std::string& t) override { calls.push_back("SetCaption " + t); }
  void Repaint(Control) override { calls.push_back("Repaint"); }
  void PumpEvents() override { calls.push_back("PumpEvents"); }
  void Unload() override {
    if (events != nullptr) events->Form_Unload();
  }
  void MessageBox(const std::string&) override { calls.push_back("MessageBox"); }

  WindowEvents* events = nullptr;
  std::vector<std::string> calls;
};

struct WindowFixture {
  EmulationClock clock;
  std::ostringstream out;
  TraceWriter trace{&out, clock};
  RecordingView inner;
  TracingWindowView view{inner, trace};
};

TEST(WindowLines, NameTheControlAndTellLabelsFromCaptions) {
  WindowFixture f;
  f.view.Show();
  f.view.SetWidth(Control::ProgressFill, 2527.5f);
  f.view.SetWidth(Control::ProgressFill, 0.1f);
  f.view.SetVisible(Control::ProgressFill, false);
  f.view.SetEnabled(Control::btnUpgradeFW, true);
  f.view.SetCaption(Control::btnUpgradeFW, "Finishing...");
  f.view.SetCaption(Control::lblVersion, " 1.2");
  f.view.Repaint(Control::ProgressFill);
  f.view.MessageBox("Nope");
  const std::vector<std::string> expected = {
      R"({"t":0,"ev":"window","op":"show"})",
      R"({"t":0,"ev":"window","op":"width","control":"Pic","value":2527.5})",
      R"({"t":0,"ev":"window","op":"width","control":"Pic","value":0.10000000149011612})",
      R"({"t":0,"ev":"window","op":"visible","control":"Pic","value":false})",
      R"({"t":0,"ev":"window","op":"enabled","control":"btnUpgradeFW","value":true})",
      R"({"t":0,"ev":"window","op":"caption","control":"btnUpgradeFW","text":"Finishing..."})",
      R"({"t":0,"ev":"window","op":"label","control":"lblVersion","text":" 1.2"})",
      R"({"t":0,"ev":"window","op":"repaint","control":"Pic"})",
      R"({"t":0,"ev":"window","op":"message_box","text":"Nope"})",
  };
  EXPECT_EQ(RawLines(f.out), expected);
  EXPECT_EQ(f.inner.calls.size(), 9u);
}

class CountingEvents final : public WindowEvents {
 public:
  explicit CountingEvents(const std::ostringstream& out) : out_(out) {}
  void Form_Unload() override { traceAtUnload = out_.str(); }
  void btnUpgradeFW_Click() override { ++clicks; }
  std::string traceAtUnload;
  int clicks = 0;

 private:
  const std::ostringstream& out_;
};

TEST(WindowLines, UnloadIsWrittenBeforeTheHandlerRunsWhoeverSetTheHandlers) {
  WindowFixture f;
  CountingEvents events(f.out);
  f.view.SetEvents(&events);
  ASSERT_NE(f.inner.events, nullptr);
  f.inner.events->btnUpgradeFW_Click();
  f.view.Unload();
  EXPECT_EQ(events.clicks, 1);
  EXPECT_EQ(events.traceAtUnload, "{\"t\":0,\"ev\":\"window\",\"op\":\"unload\"}\n");
  // Setting the decorator's own wrapper again must not make it wrap itself.
  f.view.SetEvents(&f.view.Events());
  f.inner.events->btnUpgradeFW_Click();
  EXPECT_EQ(events.clicks, 2);
  f.view.SetEvents(nullptr);
  EXPECT_EQ(f.inner.events, nullptr);
}

struct InjectionCase {
  std::string name;
  int closeAt;
  int clickAt;
  std::vector<std::string> expected;  // pump lines and injections in order
};

class PumpInjectionsAt : public ::testing::TestWithParam<InjectionCase> {};

TEST_P(PumpInjectionsAt, ComeAfterTheirPumpOnceArmed) {
  const InjectionCase& c = GetParam();
  WindowFixture f;
  emulator::PumpInjectingView view(f.view);
  std::vector<std::string> seen;
  view.PumpEvents();  // before arming: not counted
  f.out.str("");
  emulator::PumpInjections injections;
  injections.closeAtPump = c.closeAt;
  injections.clickAtPump = c.clickAt;
  injections.close = [&] {
    seen.push_back("close after " + std::to_string(RawLines(f.out).size()));
  };
  injections.click = [&] {
    seen.push_back("click after " + std::to_string(RawLines(f.out).size()));
  };
  view.Arm(injections);
  for (int i = 0; i < 4; ++i) view.PumpEvents();
  EXPECT_EQ(seen, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PumpInjectionsAt,
    ::testing::Values(InjectionCase{"None", 0, 0, {}},
                      InjectionCase{"CloseAtFirst", 1, 0, {"close after 1"}},
                      InjectionCase{"ClickAtThird", 0, 3, {"click after 3"}},
                      InjectionCase{"BothAtSecond", 2, 2, {"click after 2", "close after 2"}},
                      InjectionCase{"BeyondThePumps", 9, 0, {}}),
    [](const auto& instance) { return instance.param.name; });

class ScriptedImage final : public FirmwareImageFile {
 public:
  bool Load(const std::string&, FirmwareImage& image, std::string& error) override {
    if (!exists) error = "No such file or directory";
    image.bytes.assign(exists ? 50 : 0, 7);
    return exists;
  }
  bool Check(const std::string&, ImageCheck&) override { return exists; }
  bool exists = true;
};

TEST(ImageLines, ReportTheBytesTakenOrTheReasonOfARefusal) {
  EmulationClock clock;
  std::ostringstream out;
  TraceWriter trace(&out, clock);
  ScriptedImage inner;
  TracingFirmwareImageFile image(inner, trace);
  FirmwareImage loaded;
  std::string error;
  ASSERT_TRUE(image.Load("/x/Varnholt.bin", loaded, error));
  inner.exists = false;
  EXPECT_FALSE(image.Load("/x/Varnholt.bin", loaded, error));
  const std::vector<std::string> expected = {
      R"({"t":0,"ev":"image","op":"load","bytes":50,"signature":"not checked"})",
      R"({"t":0,"ev":"image","op":"load","error":"No such file or directory","signature":"not checked"})",
  };
  EXPECT_EQ(RawLines(out), expected);
}

TEST(TraceWriter, WritesNothingWithoutAStreamAndExitIsItsOwnLine) {
  EmulationClock clock;
  TraceWriter silent(nullptr, clock);
  silent.Exit(3);  // must not crash
  std::ostringstream out;
  TraceWriter trace(&out, clock);
  clock.Sleep(1234);
  trace.Exit(3);
  EXPECT_EQ(out.str(), "{\"t\":1234,\"ev\":\"exit\",\"code\":3}\n");
}

}  // namespace
}  // namespace dalvorn::emulator

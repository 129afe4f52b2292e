// The trace tool given files a person debugging an update might give it, hostile or broken:
// every one ends with status 66 and a message naming the file, the line and the field, never
// with "equal" or a crash; and a good trace read from a file, a pipe or memory gives the same.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "replay_support.h"
#include "scratch_folder.h"
#include "trace_normalise.h"
#include "trace_tool.h"

namespace dalvorn::testing {
namespace {

namespace fs = std::filesystem;

const char* const kCreate =
    R"({"t":0,"ev":"call","fn":"CreateFileA","path":"/dev/hidraw0","overlapped":false,"result":256})";

std::string Repeat(const std::string& text, std::size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

// `count` files opened and never closed.
std::string OpenFiles(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += R"({"ev":"call","fn":"CreateFileA","path":"p","overlapped":false,"result":)" +
            std::to_string(i + 256) + "}\n";
  }
  return text;
}

struct HostileCase {
  const char* name;
  std::string trace;  // the file's contents; the file is "trace.jsonl"
  // The commands that meet it: s(cenario), n(ormalise), c(ompare it with itself), g (compare a
  // good trace with it).
  const char* commands;
  std::string told;  // part of the message, after "trace.jsonl: "
};

void PrintTo(const HostileCase& c, std::ostream* os) {
  *os << c.name;
}

const std::vector<HostileCase>& HostileCases() {
  static const std::vector<HostileCase> cases = {
      {"create_without_path",
       R"({"t":0,"ev":"call","fn":"CreateFileA","overlapped":false,"result":-1})", "sncg",
       "line 1: field \"path\" is missing"},
      {"vendor_as_text",
       std::string(kCreate) + "\n" +
           R"({"ev":"call","fn":"HidD_GetAttributes","handle":256,"vendor":"0x1209","product":1,"version":1,"result":1})",
       "snc", "line 2: field \"vendor\" must be a whole number from 0 to 65535"},
      {"nested_100000_deep", Repeat("[", 100000) + Repeat("]", 100000), "sncg",
       "line 1: nests deeper than 64 levels"},
      {"nested_in_a_field",
       R"({"ev":"window","op":"show","x":)" + Repeat("{\"a\":", 65) + "1" + Repeat("}", 65) + "}",
       "sncg", "line 1: nests deeper than 64 levels"},
      {"pause_of_2_to_the_63",
       R"({"ev":"call","fn":"Sleep","ms":9223372036854775807,"result":null})", "sncg",
       "line 1: field \"ms\" must be a whole number from 0 to 4294967295"},
      {"pause_of_1e300", R"({"ev":"call","fn":"Sleep","ms":1e300,"result":null})", "sncg",
       "line 1: field \"ms\" must be a whole number from 0 to 4294967295"},
      {"pauses_past_what_a_replay_counts",
       Repeat(R"({"ev":"call","fn":"Sleep","ms":4294967295,"result":null})"
              "\n",
              2),
       "s", "line 2: the pauses add up to more than 49 days"},
      {"handle_past_64_bits",
       R"({"ev":"call","fn":"CloseHandle","handle":18446744073709551615,"result":1})", "sncg",
       "line 1: field \"handle\" must be a whole number of 64 bits"},
      {"data_not_hex",
       R"({"ev":"call","fn":"HidD_SetFeature","handle":256,"length":2,"data":"0g","result":1})",
       "sncg", "line 1: field \"data\" must be hexadecimal bytes"},
      {"data_of_odd_length",
       R"({"ev":"call","fn":"HidD_GetFeature","handle":256,"length":2,"data":"abc","result":1})",
       "sncg", "line 1: field \"data\" must be hexadecimal bytes"},
      {"no_ev", R"({"t":1,"fn":"Sleep","ms":1})", "sncg", "line 1: field \"ev\" is missing"},
      {"battery_over_100", R"({"ev":"power","op":"battery","on_battery":true,"percentage":150})",
       "sncg", "line 1: field \"percentage\" must be a whole number from 0 to 100"},
      {"hold_without_result", R"({"ev":"power","op":"hold"})", "sncg",
       "line 1: field \"result\" is missing"},
      {"exit_code_as_text", R"({"ev":"exit","code":"0"})", "sncg",
       "line 1: field \"code\" must be"},
      {"result_missing", R"({"ev":"call","fn":"CloseHandle","handle":5})", "sncg",
       "line 1: field \"result\" is missing"},
      {"not_json", "{\"ev\":\"exit\",\"code\":0}\n\n{\"ev\":", "sncg", "line 3: is not JSON"},
      {"not_an_object", "[1,2,3]", "sncg", "line 1: is not a JSON object"},
      {"not_utf8", "{\"ev\":\"window\",\"op\":\"\xC3\"}", "sncg", "line 1: is not JSON"},
      {"line_over_a_mebibyte",
       "{\"ev\":\"exit\",\"code\":0}\n{\"ev\":\"window\",\"op\":\"" + std::string(1 << 20, 'a') +
           "\"}",
       "sncg", "line 2: is longer than 1048576 bytes"},
      {"object_of_300_members", "{" + Repeat("\"k\":1,", 299) + "\"ev\":\"exit\",\"code\":0}",
       "sncg", "line 1: has an object of more than 256 members"},
      {"empty", "", "sncg", "holds no trace line"},
      {"only_blank_lines", "\n\r\n\n", "sncg", "holds no trace line"},
      {"more_open_files_than_a_run_has", OpenFiles(emulator::HandleNames::MaxOpenHandles + 1), "nc",
       "line 4097: more than 4096 file handles are open at once"},
  };
  return cases;
}

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun Tool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = emulator::RunTraceTool(args, out, err);
  return {status, out.str(), err.str()};
}

class HostileTrace : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTrace, EndsWithStatus66NamingTheFileAndTheLine) {
  const HostileCase& c = GetParam();
  ScratchFolder folder(c.name);
  const std::string bad = folder.Write("trace.jsonl", c.trace);
  const std::string good = folder.Write("good.jsonl", "{\"ev\":\"exit\",\"code\":0}\n");
  for (const char* command = c.commands; *command != 0; ++command) {
    const std::vector<std::string> args =
        *command == 's'   ? std::vector<std::string>{"scenario", bad}
        : *command == 'n' ? std::vector<std::string>{"normalise", bad}
        : *command == 'c' ? std::vector<std::string>{"compare", bad, bad}
                          : std::vector<std::string>{"compare", good, bad};
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 66) << *command << ": " << run.err;
    EXPECT_NE(run.err.find(bad + ": " + c.told), std::string::npos) << *command << ": " << run.err;
    EXPECT_EQ(run.out.find("equal"), std::string::npos) << run.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileTrace, ::testing::ValuesIn(HostileCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct SpecialFileCase {
  const char* name;
  const char* path;  // "DIR": a folder; "FIFO": a FIFO nobody writes to
  const char* told;
};

void PrintTo(const SpecialFileCase& c, std::ostream* os) {
  *os << c.name;
}

const SpecialFileCase kSpecialFiles[] = {
    {"a_folder", "DIR", "is a directory, not a file"},
    {"process_memory", "/proc/self/mem", "cannot be read: EIO"},
    {"endless_zeros", "/dev/zero", "is neither a regular file nor a pipe"},
    {"a_terminal_or_null", "/dev/null", "is neither a regular file nor a pipe"},
    {"missing", "/nonexistent-dalvorn/trace.jsonl", "cannot be opened: ENOENT"},
    {"a_fifo_nobody_writes", "FIFO", "holds no trace line"},
};

class SpecialFile : public ::testing::TestWithParam<SpecialFileCase> {};

TEST_P(SpecialFile, IsRefusedOrReadAsWhatItIsNeverBlocking) {
  const SpecialFileCase& c = GetParam();
  ScratchFolder folder(std::string("special-") + c.name);
  std::string path = c.path;
  if (path == "DIR") {
    path = folder.File("dir");
    fs::create_directory(path);
  } else if (path == "FIFO") {
    path = folder.File("fifo");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"scenario", path}, {"normalise", path}, {"compare", path, path}}) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 66) << args[0];
    EXPECT_NE(run.err.find(path + ": " + c.told), std::string::npos) << args[0] << ": " << run.err;
    EXPECT_EQ(run.out.find("equal"), std::string::npos) << run.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SpecialFile, ::testing::ValuesIn(kSpecialFiles),
                         [](const auto& instance) { return std::string(instance.param.name); });

// A recorded run, as a file and as text.
struct Recorded {
  std::vector<emulator::TraceLine> lines;
  std::string text;
};

Recorded RecordRun(const std::string& scenario, const std::string& name) {
  Recorded r;
  r.lines = RunEmulated(scenario, ImageFolder(name, 4 * 40));
  for (const auto& line : r.lines) r.text += line.dump() + "\n";
  return r;
}

TEST(TraceTool, ReadsAFileAndAPipeAsTheTraceInMemory) {
  const Recorded run =
      RecordRun(R"({"interfaces": [{"vendor": "0x046D", "product": "0xC52B"}, {"target": true}]})",
                "tool-pipe");
  ScratchFolder folder("pipe");
  const std::string file = folder.Write("trace.jsonl", run.text);

  std::string normalised;
  for (const auto& line : emulator::NormaliseTrace(run.lines)) normalised += line.dump() + "\n";
  EXPECT_EQ(Tool({"normalise", file}).out, normalised);
  const std::string scenario = emulator::ScenarioFromTrace(run.lines).dump(2) + "\n";
  EXPECT_EQ(Tool({"scenario", file}).out, scenario);
  const ToolRun same = Tool({"compare", file, file});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "the normalised traces are equal\n");

  // The scenario reads its trace twice: from a pipe, the second reading is of a kept copy.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread writer([&] {
    std::size_t at = 0;
    while (at < run.text.size()) {
      const ssize_t n = ::write(ends[1], run.text.data() + at, run.text.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    ::close(ends[1]);
  });
  const ToolRun piped = Tool({"scenario", "/proc/self/fd/" + std::to_string(ends[0])});
  writer.join();
  ::close(ends[0]);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, scenario);
}

TEST(TraceTool, CompareNamesTheFirstDifferingLineInBothFiles) {
  ScratchFolder folder("compare");
  const std::string a =
      folder.Write("a.jsonl",
                   "{\"ev\":\"window\",\"op\":\"show\"}\n{\"ev\":\"device\",\"op\":\"left\"}\n"
                   "{\"ev\":\"window\",\"op\":\"pump\"}\n{\"ev\":\"exit\",\"code\":0}\n");
  const std::string b =
      folder.Write("b.jsonl",
                   "{\"ev\":\"window\",\"op\":\"show\"}\n\n{\"ev\":\"window\",\"op\":\"pump\"}\n"
                   "{\"ev\":\"exit\",\"code\":1}\n");
  const std::string shorter = folder.Write("c.jsonl", "{\"ev\":\"window\",\"op\":\"show\"}\n");

  const ToolRun differ = Tool({"compare", a, b});
  EXPECT_EQ(differ.status, 1);
  EXPECT_NE(differ.out.find("line 3 of the normalised traces differs (line 4 of " + a +
                            ", line 4 of " + b + ")"),
            std::string::npos)
      << differ.out;
  const ToolRun cut = Tool({"compare", a, shorter});
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.out.find("the recorded trace has 3 normalised lines, the replayed 1; the first "
                         "extra one (line 3 of " +
                         a + ")"),
            std::string::npos)
      << cut.out;
}

}  // namespace
}  // namespace dalvorn::testing

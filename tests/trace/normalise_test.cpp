// What the normalisation drops and renames, and what it keeps so that a wrong replay shows.
#include <gtest/gtest.h>

#include "replay_support.h"
#include "trace_normalise.h"

namespace dalvorn::testing {
namespace {

using emulator::NormaliseTrace;

struct NormaliseCase {
  const char* name;
  const char* trace;
  const char* normalised;
};

void PrintTo(const NormaliseCase& c, std::ostream* os) {
  *os << c.name;
}

const NormaliseCase kCases[] = {
    {"times_device_power_desktop_lines_errors_and_paths_go",
     R"({"t":5,"ev":"call","fn":"CreateFileA","path":"/dev/hidraw3","overlapped":false,"result":-1,"os_error":"EACCES: Permission denied"}
{"t":6,"ev":"device","op":"left"}
{"t":6,"ev":"power","op":"hold","result":true}
{"t":6,"ev":"taskbar","op":"state","state":"waiting"}
{"t":6,"ev":"notify","title":"Firmware updated","body":"Widget now runs version 1.3."}
{"t":7,"ev":"window","op":"label","control":"lblManuf","text":""})",
     R"({"ev":"call","fn":"CreateFileA","overlapped":false,"result":-1}
{"ev":"window","op":"label","control":"lblManuf","text":""})"},
    {"handles_named_by_the_order_they_were_handed_out_per_kind",
     R"({"ev":"call","fn":"SetupDiGetClassDevsA","result":900}
{"ev":"call","fn":"CreateFileA","path":"a","overlapped":false,"result":7}
{"ev":"call","fn":"HidD_GetPreparsedData","handle":7,"preparsed":1,"result":1}
{"ev":"call","fn":"HidP_GetCaps","preparsed":1,"feature_report_length":41,"result":1114112}
{"ev":"call","fn":"CloseHandle","handle":7,"result":1}
{"ev":"call","fn":"CreateFileA","path":"a","overlapped":true,"result":7}
{"ev":"call","fn":"CloseHandle","handle":7,"result":1}
{"ev":"call","fn":"CloseHandle","handle":-1,"result":0}
{"ev":"call","fn":"SetupDiDestroyDeviceInfoList","set":900,"result":1})",
     R"({"ev":"call","fn":"SetupDiGetClassDevsA","result":"set#1"}
{"ev":"call","fn":"CreateFileA","overlapped":false,"result":"file#1"}
{"ev":"call","fn":"HidD_GetPreparsedData","handle":"file#1","preparsed":"preparsed#1","result":1}
{"ev":"call","fn":"HidP_GetCaps","preparsed":"preparsed#1","feature_report_length":41,"result":1114112}
{"ev":"call","fn":"CloseHandle","handle":"file#1","result":1}
{"ev":"call","fn":"CreateFileA","overlapped":true,"result":"file#2"}
{"ev":"call","fn":"CloseHandle","handle":"file#2","result":1}
{"ev":"call","fn":"CloseHandle","handle":-1,"result":0}
{"ev":"call","fn":"SetupDiDestroyDeviceInfoList","set":"set#1","result":1})"},
    {"path_sizes_and_pauses_lose_their_values_a_vanished_size_stays",
     R"({"ev":"call","fn":"SetupDiGetDeviceInterfaceDetailA","size":0,"needed":17,"result":0}
{"ev":"call","fn":"SetupDiGetDeviceInterfaceDetailA","size":17,"needed":17,"result":1}
{"ev":"call","fn":"SetupDiGetDeviceInterfaceDetailA","size":0,"needed":0,"result":0}
{"ev":"call","fn":"Sleep","ms":17,"result":null}
{"ev":"call","fn":"HidD_SetFeature","handle":0,"length":2,"data":"00ff","result":0})",
     R"({"ev":"call","fn":"SetupDiGetDeviceInterfaceDetailA","size":0,"needed":"path","result":0}
{"ev":"call","fn":"SetupDiGetDeviceInterfaceDetailA","size":"path","needed":"path","result":1}
{"ev":"call","fn":"SetupDiGetDeviceInterfaceDetailA","size":0,"needed":0,"result":0}
{"ev":"call","fn":"Sleep","result":null}
{"ev":"call","fn":"HidD_SetFeature","handle":0,"length":2,"data":"00ff","result":0})"},
    {"physical_devices_keep_which_interfaces_share_one_not_their_names",
     R"({"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":"/sys/usb1/1-2","result":1}
{"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":"/sys/usb1/1-3","result":1}
{"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":"/sys/usb1/1-2","result":1}
{"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":null,"result":0})",
     R"({"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":"physical#1","result":1}
{"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":"physical#2","result":1}
{"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":"physical#1","result":1}
{"ev":"call","fn":"SetupDiGetDevicePropertyW","physical":null,"result":0})"},
};

class Normalise : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(Normalise, KeepsWhatTheProgramDidAndNothingOfTheHost) {
  EXPECT_EQ(NormaliseTrace(Lines(GetParam().trace)), Lines(GetParam().normalised));
}

INSTANTIATE_TEST_SUITE_P(Lines, Normalise, ::testing::ValuesIn(kCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(CompareNormalised, NamesTheFirstDifferenceAndAMissingTail) {
  const auto a = Lines("{\"ev\":\"exit\",\"code\":0}");
  const auto b = Lines("{\"ev\":\"exit\",\"code\":1}");
  EXPECT_EQ(emulator::CompareNormalised(a, a), "");
  EXPECT_NE(emulator::CompareNormalised(a, b).find("line 1"), std::string::npos);
  EXPECT_NE(emulator::CompareNormalised(a, {}).find("has 1 normalised lines, the replayed 0"),
            std::string::npos);
}

}  // namespace
}  // namespace dalvorn::testing

// The emulated platform alone, without a window: a scenario played on the virtual clock with its
// trace kept in memory, and the few steps of talking to it that the tests share.
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "device/hid_platform.h"
#include "emulated_platform.h"
#include "emulation_clock.h"
#include "scenario.h"
#include "trace/trace_writer.h"

namespace dalvorn::emulator::testing {

struct PlatformHost {
  explicit PlatformHost(const Scenario& scenario)
      : trace(&out, clock), platform(scenario, clock, trace, "/emulated/program") {}
  explicit PlatformHost(std::string_view scenarioJson)
      : PlatformHost(ParseScenario(scenarioJson)) {}

  // The paths of the interfaces a fresh enumeration lists, in order.
  std::vector<std::string> Enumerate() {
    Guid guid;
    platform.HidD_GetHidGuid(guid);
    const Handle set =
        platform.SetupDiGetClassDevsA(guid, nullptr, 0, DigcfPresent | DigcfDeviceInterface);
    std::vector<std::string> paths;
    for (std::int32_t index = 0;; ++index) {
      SpDeviceInterfaceData data;
      data.cbSize = SpDeviceInterfaceDataSize;
      if (platform.SetupDiEnumDeviceInterfaces(set, nullptr, guid, index, data) == 0) break;
      std::int32_t needed = 0;
      platform.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &needed, nullptr);
      std::vector<std::uint8_t> buffer(static_cast<std::size_t>(needed) + 1, 0);
      if (needed >= 4) buffer[0] = static_cast<std::uint8_t>(InterfaceDetailSizeField);
      const bool ok = platform.SetupDiGetDeviceInterfaceDetailA(set, data, buffer.data(), needed,
                                                                &needed, nullptr) != 0;
      paths.push_back(ok ? reinterpret_cast<const char*>(buffer.data() + 4) : "");
    }
    platform.SetupDiDestroyDeviceInfoList(set);
    return paths;
  }

  Handle Open(const std::string& path, bool overlapped = false) {
    return platform.CreateFileA(path.c_str(), GenericRead | GenericWrite,
                                FileShareRead | FileShareWrite, nullptr, OpenExisting,
                                overlapped ? FileFlagOverlapped : 0, 0);
  }
  Handle OpenDevice(bool overlapped = false) {
    return Open(EmulatedPlatform::DevicePath(platform.Device().Mode()), overlapped);
  }

  std::int32_t Send(Handle handle, std::vector<std::uint8_t> report) {
    return platform.HidD_SetFeature(handle, report.data(),
                                    static_cast<std::uint32_t>(report.size()));
  }
  // Sends the first `length` bytes of a long buffer that holds the whole payload, as the program
  // does with a device whose reports are shorter than its messages.
  std::int32_t SendCut(Handle handle, const std::vector<std::uint8_t>& payload,
                       std::uint32_t length);

  // The trace so far, one parsed object a line.
  std::vector<nlohmann::json> Lines() const {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  EmulationClock clock;
  std::ostringstream out;
  TraceWriter trace;
  EmulatedPlatform platform;
};

// A feature report of `length` bytes: report ID 0, then `payload`, then zeros (cut to length).
inline std::vector<std::uint8_t> Report(std::size_t length,
                                        const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> report(length, 0);
  for (std::size_t i = 0; i < payload.size() && i + 1 < length; ++i) report[i + 1] = payload[i];
  return report;
}

inline std::int32_t PlatformHost::SendCut(Handle handle, const std::vector<std::uint8_t>& payload,
                                          std::uint32_t length) {
  std::vector<std::uint8_t> buffer = Report(1001, payload);
  return platform.HidD_SetFeature(handle, buffer.data(), length);
}

// Names a table row in test output.
template <class Case>
requires requires(const Case& c) {
  c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

}  // namespace dalvorn::emulator::testing

// A platform that passes every operation through to another and notes when each data block's
// send began and ended on the steady clock, to measure how closely the transfer keeps its pace.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "device/hid_platform.h"
#include "update/block_transfer.h"

namespace dalvorn::bench {

class PaceRecorder final : public HidPlatform {
 public:
  explicit PaceRecorder(HidPlatform& inner) : inner_(inner) {}

  // Pace efficiency of the last `blocks` sends: the pace times the intervals between them,
  // over the time from the first send to the last. 1.0 is a transfer exactly at its pace.
  double Efficiency(std::size_t blocks) const;
  // The largest and the least interval between the starts of two of those sends, in ms.
  double LongestIntervalMs(std::size_t blocks) const;
  double ShortestGapAfterSendMs(std::size_t blocks) const;
  // The mean time one send of those blocks took, and the mean time from the end of one send
  // to the start of the next (the pace the program keeps itself), in ms.
  double MeanSendMs(std::size_t blocks) const;
  double MeanGapAfterSendMs(std::size_t blocks) const;

  void HidD_GetHidGuid(Guid& g) override { inner_.HidD_GetHidGuid(g); }
  Handle SetupDiGetClassDevsA(const Guid& g, const char* e, Handle p, std::uint32_t f) override {
    return inner_.SetupDiGetClassDevsA(g, e, p, f);
  }
  std::int32_t SetupDiEnumDeviceInterfaces(Handle s, const void* d, const Guid& g, std::int32_t i,
                                           SpDeviceInterfaceData& data) override {
    return inner_.SetupDiEnumDeviceInterfaces(s, d, g, i, data);
  }
  std::int32_t SetupDiGetDeviceInterfaceDetailA(Handle s, const SpDeviceInterfaceData& d,
                                                std::uint8_t* b, std::int32_t n, std::int32_t* r,
                                                void* i) override {
    return inner_.SetupDiGetDeviceInterfaceDetailA(s, d, b, n, r, i);
  }
  std::int32_t SetupDiDestroyDeviceInfoList(Handle s) override {
    return inner_.SetupDiDestroyDeviceInfoList(s);
  }
  std::int32_t SetupDiGetDevicePropertyW(Handle s, const SpDeviceInterfaceData& d,
                                         std::string& physical) override {
    return inner_.SetupDiGetDevicePropertyW(s, d, physical);
  }
  std::int32_t CM_Get_DevNode_PropertyW(Handle s, const SpDeviceInterfaceData& d,
                                        std::string& location) override {
    return inner_.CM_Get_DevNode_PropertyW(s, d, location);
  }
  std::uint32_t LastErrorCode() override { return inner_.LastErrorCode(); }
  Handle CreateFileA(const char* p, std::uint32_t a, std::uint32_t s, const SecurityAttributes* sa,
                     std::uint32_t c, std::uint32_t f, Handle t) override {
    return inner_.CreateFileA(p, a, s, sa, c, f, t);
  }
  std::int32_t CloseHandle(Handle h) override { return inner_.CloseHandle(h); }
  std::int32_t HidD_GetAttributes(Handle h, HiddAttributes& a) override {
    return inner_.HidD_GetAttributes(h, a);
  }
  std::int32_t HidD_GetPreparsedData(Handle h, Handle& p) override {
    return inner_.HidD_GetPreparsedData(h, p);
  }
  std::int32_t HidP_GetCaps(Handle p, HidpCaps& c) override { return inner_.HidP_GetCaps(p, c); }
  std::int32_t HidD_FreePreparsedData(Handle p) override {
    return inner_.HidD_FreePreparsedData(p);
  }
  std::int32_t HidD_SetFeature(Handle h, const std::uint8_t* b, std::uint32_t n) override {
    const auto start = Now();
    const std::int32_t result = inner_.HidD_SetFeature(h, b, n);
    sends_.push_back({start, Now()});
    return result;
  }
  std::int32_t HidD_GetFeature(Handle h, std::uint8_t* b, std::uint32_t n) override {
    return inner_.HidD_GetFeature(h, b, n);
  }
  std::int32_t HidD_GetManufacturerString(Handle h, void* b, std::uint32_t n) override {
    return inner_.HidD_GetManufacturerString(h, b, n);
  }
  std::int32_t HidD_GetProductString(Handle h, void* b, std::uint32_t n) override {
    return inner_.HidD_GetProductString(h, b, n);
  }
  std::int32_t HidD_GetSerialNumberString(Handle h, void* b, std::uint32_t n) override {
    return inner_.HidD_GetSerialNumberString(h, b, n);
  }
  void Sleep(std::uint32_t ms) override { inner_.Sleep(ms); }
  std::int64_t SteadyMicroseconds() override { return inner_.SteadyMicroseconds(); }
  void SleepUntil(std::int64_t deadline) override { inner_.SleepUntil(deadline); }
  std::string ProgramFolder() override { return inner_.ProgramFolder(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Send {
    Clock::time_point start, end;
  };
  static Clock::time_point Now() { return Clock::now(); }
  std::vector<Send> Last(std::size_t blocks) const {
    if (sends_.size() < blocks) return sends_;
    return std::vector<Send>(sends_.end() - static_cast<std::ptrdiff_t>(blocks), sends_.end());
  }

  HidPlatform& inner_;
  std::vector<Send> sends_;
};

inline double PaceRecorder::Efficiency(std::size_t blocks) const {
  const auto sends = Last(blocks);
  if (sends.size() < 2) return 0;
  const std::chrono::duration<double, std::micro> span = sends.back().start - sends.front().start;
  return static_cast<double>(BlockPaceMicroseconds) * static_cast<double>(sends.size() - 1) /
         span.count();
}

inline double PaceRecorder::LongestIntervalMs(std::size_t blocks) const {
  const auto sends = Last(blocks);
  double longest = 0;
  for (std::size_t i = 1; i < sends.size(); ++i) {
    const std::chrono::duration<double, std::milli> interval = sends[i].start - sends[i - 1].start;
    if (interval.count() > longest) longest = interval.count();
  }
  return longest;
}

inline double PaceRecorder::ShortestGapAfterSendMs(std::size_t blocks) const {
  const auto sends = Last(blocks);
  double shortest = 1e9;
  for (std::size_t i = 1; i < sends.size(); ++i) {
    const std::chrono::duration<double, std::milli> gap = sends[i].start - sends[i - 1].end;
    if (gap.count() < shortest) shortest = gap.count();
  }
  return shortest;
}

inline double PaceRecorder::MeanSendMs(std::size_t blocks) const {
  const auto sends = Last(blocks);
  double total = 0;
  for (const Send& send : sends) {
    total += std::chrono::duration<double, std::milli>(send.end - send.start).count();
  }
  return sends.empty() ? 0 : total / static_cast<double>(sends.size());
}

inline double PaceRecorder::MeanGapAfterSendMs(std::size_t blocks) const {
  const auto sends = Last(blocks);
  double total = 0;
  for (std::size_t i = 1; i < sends.size(); ++i) {
    total += std::chrono::duration<double, std::milli>(sends[i].start - sends[i - 1].end).count();
  }
  return sends.size() < 2 ? 0 : total / static_cast<double>(sends.size() - 1);
}

}  // namespace dalvorn::bench

#include "update/feature_reports.h"

#include <algorithm>

#include "device/device_codes.h"

namespace dalvorn {
namespace {

// Makes `buffer` at least as long as the device's feature report, adding zeros at its end.
void FitToReportLength(std::vector<std::uint8_t>& buffer, const DeviceSession& session) {
  const std::size_t length = session.DeviceCaps.FeatureReportByteLength;
  if (buffer.size() < length) buffer.resize(length, 0);
}

template <std::size_t N>
void WriteCode(std::vector<std::uint8_t>& buffer, const std::array<std::uint8_t, N>& code) {
  if (buffer.size() < N + 1) buffer.resize(N + 1, 0);
  buffer[0] = 0;  // report ID
  // The code is built byte by byte into the message just before it is sent.
  for (std::size_t i = 0; i < N; ++i) buffer[i + 1] = code[i];
}

}  // namespace

std::vector<std::uint8_t> NewReportBuffer(std::size_t minimumSize, const DeviceSession& session) {
  std::vector<std::uint8_t> buffer(minimumSize, 0);
  FitToReportLength(buffer, session);
  return buffer;
}

void BuildBootEntryMessage(std::vector<std::uint8_t>& buffer) {
  WriteCode(buffer, BootEntryCode);
}

void BuildUnlockMessage(std::vector<std::uint8_t>& buffer) {
  WriteCode(buffer, UnlockCode);
}

void BuildDataBlockMessage(std::vector<std::uint8_t>& buffer, const std::uint8_t* record) {
  if (buffer.size() < FlashRecordSize + 1) buffer.resize(FlashRecordSize + 1, 0);
  buffer[0] = 0;  // report ID, written again for every block
  std::copy(record, record + FlashRecordSize, buffer.begin() + 1);
}

std::int32_t SendFeatureReport(DeviceSession& session, HidPlatform& platform,
                               std::vector<std::uint8_t>& buffer) {
  FitToReportLength(buffer, session);
  return platform.HidD_SetFeature(session.DeviceHandle, buffer.data(),
                                  session.DeviceCaps.FeatureReportByteLength);
}

std::int32_t ReadStatusReport(const DeviceSession& session, HidPlatform& platform,
                              std::vector<std::uint8_t>& status) {
  if (status.size() < StatusReportSize) status.resize(StatusReportSize, 0);
  FitToReportLength(status, session);
  status[0] = 0;  // report ID
  return platform.HidD_GetFeature(session.DeviceHandle, status.data(),
                                  session.DeviceCaps.FeatureReportByteLength);
}

bool StatusAsksForUnlock(const std::vector<std::uint8_t>& status, std::int32_t readResult) {
  if (readResult == 0) return false;
  return status[1] != 0 || status[2] != 0;
}

}  // namespace dalvorn

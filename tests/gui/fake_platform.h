// A host with no HID interface that records the handles the program closes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/hid_platform.h"
#include "ui/window_view.h"

namespace dalvorn::testing {

class EmptyHostPlatform final : public HidPlatform {
 public:
  std::vector<Handle> closed;

  void HidD_GetHidGuid(Guid& guid) override { guid = Guid{}; }
  Handle SetupDiGetClassDevsA(const Guid&, const char*, Handle, std::uint32_t) override {
    return 7;
  }
  std::int32_t SetupDiEnumDeviceInterfaces(Handle, const void*, const Guid&, std::int32_t,
                                           SpDeviceInterfaceData&) override {
    return 0;
  }
  std::int32_t SetupDiGetDeviceInterfaceDetailA(Handle, const SpDeviceInterfaceData&, std::uint8_t*,
                                                std::int32_t, std::int32_t* needed,
                                                void*) override {
    if (needed != nullptr) *needed = 0;
    return 0;
  }
  std::int32_t SetupDiDestroyDeviceInfoList(Handle) override { return 1; }
  std::int32_t SetupDiGetDevicePropertyW(Handle, const SpDeviceInterfaceData&,
                                         std::string&) override {
    return 0;
  }
  std::int32_t CM_Get_DevNode_PropertyW(Handle, const SpDeviceInterfaceData&,
                                        std::string&) override {
    return 0;
  }
  Handle CreateFileA(const char*, std::uint32_t, std::uint32_t, const SecurityAttributes*,
                     std::uint32_t, std::uint32_t, Handle) override {
    return InvalidHandle;
  }
  std::int32_t CloseHandle(Handle handle) override {
    closed.push_back(handle);
    return 0;
  }
  std::int32_t HidD_GetAttributes(Handle, HiddAttributes&) override { return 0; }
  std::int32_t HidD_GetPreparsedData(Handle, Handle&) override { return 0; }
  std::int32_t HidP_GetCaps(Handle, HidpCaps&) override { return 0; }
  std::int32_t HidD_FreePreparsedData(Handle) override { return 0; }
  std::int32_t HidD_SetFeature(Handle, const std::uint8_t*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetFeature(Handle, std::uint8_t*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetManufacturerString(Handle, void*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetProductString(Handle, void*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetSerialNumberString(Handle, void*, std::uint32_t) override { return 0; }
  void Sleep(std::uint32_t) override {}
  std::int64_t SteadyMicroseconds() override { return 0; }
  void SleepUntil(std::int64_t) override {}
  std::string ProgramFolder() override { return "/nonexistent"; }
};

// Window handlers that count their calls and run an optional action on a click.
class CountingEvents final : public WindowEvents {
 public:
  int unloads = 0;
  int clicks = 0;
  std::function<void()> onClick;

  void Form_Unload() override { ++unloads; }
  void btnUpgradeFW_Click() override {
    ++clicks;
    if (onClick) onClick();
  }
};

}  // namespace dalvorn::testing

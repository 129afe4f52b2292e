// Placeholder Linux backend: a host with no HID interface.
#include <chrono>
#include <thread>

#include "device/os_platform.h"

namespace dalvorn {
namespace {

class NoHidPlatform final : public HidPlatform {
 public:
  void HidD_GetHidGuid(Guid& g) override { g = Guid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}}; }
  Handle SetupDiGetClassDevsA(const Guid&, const char*, Handle, std::uint32_t) override { return 1; }
  std::int32_t SetupDiEnumDeviceInterfaces(Handle, const void*, const Guid&, std::int32_t, SpDeviceInterfaceData&) override { return 0; }
  std::int32_t SetupDiGetDeviceInterfaceDetailA(Handle, const SpDeviceInterfaceData&, std::uint8_t*, std::int32_t, std::int32_t* needed, void*) override { if (needed) *needed = 0; return 0; }
  std::int32_t SetupDiDestroyDeviceInfoList(Handle) override { return 1; }
  Handle CreateFileA(const char*, std::uint32_t, std::uint32_t, const SecurityAttributes*, std::uint32_t, std::uint32_t, Handle) override { return InvalidHandle; }
  std::int32_t CloseHandle(Handle) override { return 0; }
  std::int32_t HidD_GetAttributes(Handle, HiddAttributes&) override { return 0; }
  std::int32_t HidD_GetPreparsedData(Handle, Handle&) override { return 0; }
  std::int32_t HidP_GetCaps(Handle, HidpCaps&) override { return 0; }
  std::int32_t HidD_FreePreparsedData(Handle) override { return 0; }
  std::int32_t HidD_SetFeature(Handle, const std::uint8_t*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetFeature(Handle, std::uint8_t*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetManufacturerString(Handle, void*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetProductString(Handle, void*, std::uint32_t) override { return 0; }
  std::int32_t HidD_GetSerialNumberString(Handle, void*, std::uint32_t) override { return 0; }
  void Sleep(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  std::string ProgramFolder() override { return "."; }
};

}  // namespace

std::unique_ptr<HidPlatform> MakeOsPlatform() { return std::make_unique<NoHidPlatform>(); }

}  // namespace dalvorn

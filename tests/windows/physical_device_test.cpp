// The rules by which the Windows backend tells physical devices apart.
#include "device/windows/physical_device.h"

#include <gtest/gtest.h>

#include <iterator>

namespace dalvorn {
namespace {

TEST(PhysicalDeviceRules, OnlyAWholeUsbDeviceIsAUsbParent) {
  const struct {
    const wchar_t* instanceId;
    bool whole;
  } cases[] = {
      {L"USB\\VID_1209&PID_0001\\0042", true},
      {L"usb\\vid_1209&pid_0001\\0042", true},
      {L"USB\\VID_1209&PID_0001&MI_01\\6&2C3A1F0&0&0001", false},
      {L"USB\\VID_1209&PID_0001&mi_00\\6&2C3A1F0&0&0000", false},
      {L"HID\\VID_1209&PID_0001\\7&1B2C&0&0000", false},
      {L"USBSTOR\\DISK&VEN_DALVORN\\0042", false},
      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsWholeUsbDevice(c.instanceId), c.whole) << c.instanceId;
  }
}

TEST(PhysicalDeviceRules, NeitherTheNullNorTheComputersContainerTellsDevicesApart) {
  const struct {
    GUID container;
    bool distinct;
  } cases[] = {
      {{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}, false},
      {{0, 0, 0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}, false},
      {{0, 0, 0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}}, true},
      {{1, 0, 0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}, true},
      {{0x8C7ED206, 0x3F8A, 0x4827, {0xB3, 0xAB, 0xAE, 0x9E, 0x1F, 0xAE, 0xFC, 0x6C}}, true},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(IsDistinctContainer(cases[i].container), cases[i].distinct) << "case " << i;
  }
}

}  // namespace
}  // namespace dalvorn

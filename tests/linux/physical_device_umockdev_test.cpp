// Which physical device each hidraw node belongs to, as the backend tells it, and the count of
// the devices of the kind that the update makes from it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/device_count.h"
#include "device/os_platform.h"
#include "fake_hid_host.h"

namespace dalvorn::linuxtest {
namespace {

FakeInterface Kind(std::uint16_t product, std::optional<std::string> serial, unsigned port = 0,
                   unsigned usbInterface = 0) {
  FakeInterface f;
  f.vendor = DeviceVendorID;
  f.product = product;
  f.serial = std::move(serial);
  f.usbPort = port;
  f.usbInterface = usbInterface;
  return f;
}

FakeInterface WithoutUsbParent(const char* uniq) {
  FakeInterface f = Kind(AppProductID, std::nullopt);
  f.usbParent = false;
  f.hidName = "Dalvorn Widget";
  f.hidUniq = uniq;
  return f;
}

FakeInterface Unopenable(FakeInterface f) {
  f.openable = false;
  return f;
}

struct HostCase {
  const char* name;
  std::vector<FakeInterface> nodes;  // hidraw1, hidraw2, ...
  std::size_t devicesOfTheKind;
};

void PrintTo(const HostCase& c, std::ostream* os) {
  *os << c.name;
}

FakeInterface Keyboard() {
  FakeInterface f;
  f.vendor = 0x046D;
  f.product = 0xC31C;
  return f;
}

const std::vector<HostCase> HostCases = {
    {"two_usb_devices", {Kind(AppProductID, "0042"), Kind(AppProductID, "0043")}, 2},
    {"one_usb_device_two_hid_interfaces",
     {Kind(AppProductID, "0042", 5, 0), Kind(AppProductID, "0042", 5, 1)},
     1},
    {"either_mode", {Kind(BootProductID, "0042"), Kind(AppProductID, "0043")}, 2},
    {"with_and_without_usb_parent", {WithoutUsbParent("0042"), Kind(AppProductID, "0043")}, 2},
    {"two_without_usb_parent", {WithoutUsbParent("0042"), WithoutUsbParent("0043")}, 2},
    {"other_devices_and_unopenable_nodes_do_not_count",
     {Keyboard(), Unopenable(Kind(AppProductID, "0042")), Kind(AppProductID, "0043"), Keyboard()},
     1},
};

class PhysicalDevice : public ::testing::TestWithParam<HostCase> {};

TEST_P(PhysicalDevice, IsTheUsbDeviceOrElseTheHidDeviceAndGroupsTheCount) {
  const HostCase& c = GetParam();
  FakeHidHost host;
  std::vector<std::string> expected;
  for (unsigned i = 0; i < c.nodes.size(); ++i) {
    expected.push_back(host.Record(host.AddInterface(i + 1, c.nodes[i])).physical);
  }
  auto platform = MakeOsPlatform();

  // Every node of the set, in the set's order (by node number, as added).
  Guid guid;
  platform->HidD_GetHidGuid(guid);
  const Handle set = platform->SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
  std::vector<std::string> told;
  SpDeviceInterfaceData data;
  data.cbSize = SpDeviceInterfaceDataSize;
  for (std::int32_t i = 0; platform->SetupDiEnumDeviceInterfaces(set, nullptr, guid, i, data);
       ++i) {
    std::string physical = "left over";
    EXPECT_EQ(platform->SetupDiGetDevicePropertyW(set, data, physical), 1) << i;
    told.push_back(physical);
  }
  SpDeviceInterfaceData stranger = data;
  stranger.Reserved = 99;
  std::string physical = "left over";
  EXPECT_EQ(platform->SetupDiGetDevicePropertyW(set, stranger, physical), 0);
  EXPECT_EQ(physical, "");
  platform->SetupDiDestroyDeviceInfoList(set);

  // Unopenable nodes are listed by the set too, and told like the others.
  EXPECT_EQ(told, expected);
  EXPECT_EQ(CountDevicesOfTheKind(*platform), c.devicesOfTheKind);
}

INSTANTIATE_TEST_SUITE_P(Hidraw, PhysicalDevice, ::testing::ValuesIn(HostCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace dalvorn::linuxtest

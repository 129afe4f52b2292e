// A host whose hidraw interfaces are faked with umockdev: a sysfs tree per interface
// (USB device, USB interface, HID device, hidraw node) and an ioctl handler per node that serves
// either a plain interface or the device model. Only usable inside umockdev-wrapper.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hid_device_model.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace dalvorn::linuxtest {

struct FakeInterface {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::uint16_t bcdDevice = 0;
  // Strings of the USB device; nullopt: the device has none.
  std::optional<std::string> manufacturer;
  std::optional<std::string> productName;
  std::optional<std::string> serial;
  // false: a HID device with no USB parent, described by HID_NAME and HID_UNIQ only.
  bool usbParent = true;
  // The USB device is usb1/1-P with P this port, or the node's own number when 0: nodes given
  // one port are HID interfaces of one USB device, on its USB interface 1-P:1.usbInterface.
  unsigned usbPort = 0;
  unsigned usbInterface = 0;
  std::string hidName;
  std::string hidUniq;
  // false: the node is listed but cannot be opened.
  bool openable = true;
  std::vector<std::uint8_t> descriptor{ModelReportDescriptor.begin(), ModelReportDescriptor.end()};
};

// What one node saw, for the tests to check.
struct NodeRecord {
  std::string devnode;
  bool model = false;    // the node served the device model
  std::string physical;  // sysfs path of its USB device, or of its HID device where none
  bool unplugged = false;
  int ioctls = 0;  // requests the node served
  std::vector<std::vector<std::uint8_t>> featuresSet;
};

class FakeHidHost {
 public:
  FakeHidHost();
  FakeHidHost(const FakeHidHost&) = delete;
  FakeHidHost& operator=(const FakeHidHost&) = delete;
  ~FakeHidHost();

  // Adds a plain interface as hidrawN; it takes every feature report and answers zeros.
  // Returns its device node.
  std::string AddInterface(unsigned number, const FakeInterface& shape);
  // Adds the modelled device in its present mode as one USB device with `hidInterfaces` HID
  // interfaces: the model serves hidrawN, the others (hidraw(N+1)...) are plain interfaces
  // with the device's IDs and strings. With `keyboardFirst`, the first of them, a keyboard's
  // interface without feature reports, comes before the model's (hidrawN, the model hidraw(N+1)).
  // At most one.
  std::string AddModelDevice(unsigned number, ModelMode mode, unsigned hidInterfaces = 1,
                             bool keyboardFirst = false);

  // Carries out what the device asked for since the last call: leaving for the bootloader,
  // or restarting once every handle is closed. The device comes back on the USB port it was
  // added on, with the next node numbers after its old nodes that no other node has, as a
  // kernel may give it new nodes. True when the device re-appeared.
  bool Settle();

  // The descriptors of this process now open on `devnode`. Under umockdev every open of a
  // node gives a descriptor of the node's pseudo-terminal, so they are counted by that.
  int OpenHandles(const std::string& devnode);
  // What the node now present at `devnode` saw.
  NodeRecord Record(const std::string& devnode);
  // What every node ever added saw, removed ones too, in the order they were added.
  std::vector<NodeRecord> Records();
  // A copy of the model, taken under the lock.
  HidDeviceModel Model();
  std::string ModelDevnode();
  void SetModelStatus(std::uint8_t first, std::uint8_t second);
  void SetModelRefusedBlock(std::uint32_t block);
  // The device is unplugged during that data block: its node fails it, and every later
  // request, with ENODEV, as a node whose device has gone.
  void SetModelUnplugBlock(std::uint32_t block);

  struct Node;  // one fake interface
  // Answers one ioctl on `node`; called on umockdev's thread.
  bool ServeIoctl(Node& node, UMockdevIoctlClient* client);

 private:
  void AddTree(Node& node);
  std::string AddModelNodes(unsigned number);
  void RemoveTree(Node& node);

  UMockdevTestbed* testbed_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Node>> nodes_;
  HidDeviceModel model_;
  Node* modelNode_ = nullptr;
  std::vector<Node*> modelSiblings_;  // the device's other HID interfaces
  unsigned modelInterfaces_ = 1;
  bool keyboardFirst_ = false;
  unsigned modelPort_ = 0;
  ModelAction pending_ = ModelAction::None;
  unsigned nextHidSequence_ = 1;
};

}  // namespace dalvorn::linuxtest

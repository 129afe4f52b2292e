#include "fake_hid_host.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace dalvorn::linuxtest {

struct FakeHidHost::Node {
  FakeHidHost* host = nullptr;
  unsigned number = 0;
  FakeInterface shape;
  std::vector<std::string> syspaths;  // root of the tree first
  UMockdevIoctlBase* handler = nullptr;
  NodeRecord record;
  std::string pty;
};

namespace {

// A umockdev ioctl handler that knows its node.
struct HandlerInstance {
  UMockdevIoctlBase parent;
  FakeHidHost::Node* node;
};

gboolean HandleIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client) {
  auto* self = reinterpret_cast<HandlerInstance*>(base);
  return self->node->host->ServeIoctl(*self->node, client) ? TRUE : FALSE;
}

void HandlerClassInit(gpointer klass, gpointer) {
  static_cast<UMockdevIoctlBaseClass*>(klass)->handle_ioctl = HandleIoctl;
}

GType HandlerType() {
  static const GType type = g_type_register_static_simple(
      umockdev_ioctl_base_get_type(), "DalvornFakeHidraw", sizeof(UMockdevIoctlBaseClass),
      HandlerClassInit, sizeof(HandlerInstance), nullptr, static_cast<GTypeFlags>(0));
  return type;
}

// A boot keyboard's report descriptor: input and output reports, no feature report.
const std::vector<std::uint8_t> KeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

std::string Hex4(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", v & 0xFFFFu);
  return text;
}

std::string Hex4Lower(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", v & 0xFFFFu);
  return text;
}

// Copies `bytes` into the client's buffer behind the ioctl argument.
bool Reply(UMockdevIoctlClient* client, std::size_t size, const std::uint8_t* bytes) {
  GError* error = nullptr;
  UMockdevIoctlData* data =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
  if (data == nullptr) {
    g_clear_error(&error);
    return false;
  }
  umockdev_ioctl_data_update(data, 0, const_cast<guint8*>(bytes), static_cast<gint>(size));
  g_object_unref(data);
  return true;
}

std::vector<std::uint8_t> Fetch(UMockdevIoctlClient* client, std::size_t size) {
  GError* error = nullptr;
  UMockdevIoctlData* data =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
  if (data == nullptr) {
    g_clear_error(&error);
    return {};
  }
  std::vector<std::uint8_t> bytes(data->data, data->data + data->data_len);
  g_object_unref(data);
  return bytes;
}

}  // namespace

FakeHidHost::FakeHidHost() : testbed_(umockdev_testbed_new()) {
  if (!umockdev_in_mock_environment()) {
    throw std::runtime_error("the fake hidraw host needs umockdev-wrapper");
  }
}

FakeHidHost::~FakeHidHost() {
  // The latest first: a USB device goes after the interfaces added under it.
  for (auto node = nodes_.rbegin(); node != nodes_.rend(); ++node) {
    if ((*node)->handler) RemoveTree(**node);
  }
  g_object_unref(testbed_);
}

void FakeHidHost::AddTree(Node& n) {
  const FakeInterface& s = n.shape;
  const std::string hidName =
      "0003:" + Hex4(s.vendor) + ":" + Hex4(s.product) + "." + Hex4(nextHidSequence_++);
  std::string parent;
  std::string text;
  if (s.usbParent) {
    const std::string port = "1-" + std::to_string(s.usbPort != 0 ? s.usbPort : n.number);
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    // A USB device that a present node already brought is not added again; that node removes it.
    bool present = false;
    for (const auto& other : nodes_) {
      present = present || (other->handler && other->record.physical == "/sys" + usb);
    }
    if (!present) {
      text += "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
      text += "A: idVendor=" + Hex4Lower(s.vendor) + "\nA: idProduct=" + Hex4Lower(s.product) +
              "\nA: bcdDevice=" + Hex4Lower(s.bcdDevice) + "\n";
      if (s.manufacturer) text += "A: manufacturer=" + *s.manufacturer + "\n";
      if (s.productName) text += "A: product=" + *s.productName + "\n";
      if (s.serial) text += "A: serial=" + *s.serial + "\n";
      text += "\n";
      n.syspaths = {"/sys" + usb};
    }
    const std::string intf = usb + "/" + port + ":1." + std::to_string(s.usbInterface);
    text += "P: " + intf + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\n";
    n.syspaths.push_back("/sys" + intf);
    n.record.physical = "/sys" + usb;
    parent = intf;
  } else {
    parent = "/devices/virtual/misc/uhid";
  }
  const std::string hid = parent + "/" + hidName;
  if (!s.usbParent) n.record.physical = "/sys" + hid;
  text += "P: " + hid + "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000" + Hex4(s.vendor) + ":0000" +
          Hex4(s.product) + "\nE: HID_NAME=" + s.hidName + "\nE: HID_UNIQ=" + s.hidUniq + "\n\n";
  const std::string raw = hid + "/hidraw/hidraw" + std::to_string(n.number);
  text += "P: " + raw + "\n";
  if (s.openable) text += "N: hidraw" + std::to_string(n.number) + "\n";
  text += "E: SUBSYSTEM=hidraw\nE: DEVNAME=" + n.record.devnode + "\nL: device=../../../" +
          hidName + "\n";
  n.syspaths.push_back("/sys" + hid);
  n.syspaths.push_back("/sys" + raw);

  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed_, text.c_str(), &error)) {
    const std::string why = error ? error->message : "?";
    g_clear_error(&error);
    throw std::runtime_error("umockdev rejected the device tree: " + why);
  }
  n.handler = static_cast<UMockdevIoctlBase*>(g_object_new(HandlerType(), nullptr));
  reinterpret_cast<HandlerInstance*>(n.handler)->node = &n;
  if (!s.openable) return;
  if (!umockdev_testbed_attach_ioctl(testbed_, n.record.devnode.c_str(), n.handler, &error)) {
    const std::string why = error ? error->message : "?";
    g_clear_error(&error);
    throw std::runtime_error("umockdev refused the ioctl handler: " + why);
  }
  // Learn which pseudo-terminal stands for the node, to count the handles open on it.
  const int fd = ::open(n.record.devnode.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open the fake node " + n.record.devnode);
  std::error_code error2;
  n.pty = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error2).string();
  ::close(fd);
}

void FakeHidHost::RemoveTree(Node& n) {
  if (n.shape.openable) umockdev_testbed_detach_ioctl(testbed_, n.record.devnode.c_str(), nullptr);
  for (auto it = n.syspaths.rbegin(); it != n.syspaths.rend(); ++it) {
    umockdev_testbed_remove_device(testbed_, it->c_str());
  }
  g_object_unref(n.handler);
  n.handler = nullptr;
}

std::string FakeHidHost::AddInterface(unsigned number, const FakeInterface& shape) {
  auto node = std::make_unique<Node>();
  node->host = this;
  node->number = number;
  node->shape = shape;
  // A node that cannot be opened names a path that does not exist on the host either, so
  // that an open of it never reaches a real device.
  node->record.devnode =
      (shape.openable ? "/dev/hidraw" : "/dev/dalvorn-absent/hidraw") + std::to_string(number);
  AddTree(*node);
  nodes_.push_back(std::move(node));
  return nodes_.back()->record.devnode;
}

std::string FakeHidHost::AddModelDevice(unsigned number, ModelMode mode, unsigned hidInterfaces,
                                        bool keyboardFirst) {
  {
    std::lock_guard lock(mutex_);
    model_ = HidDeviceModel(mode);
  }
  modelInterfaces_ = hidInterfaces;
  keyboardFirst_ = keyboardFirst && hidInterfaces > 1;
  modelPort_ = number;
  return AddModelNodes(number);
}

std::string FakeHidHost::AddModelNodes(unsigned number) {
  const HidDeviceModel model = Model();
  FakeInterface shape;
  shape.vendor = DeviceVendorID;
  shape.product = model.ProductId();
  shape.bcdDevice = model.Version();
  shape.manufacturer = "Dalvorn";
  shape.productName = model.Mode() == ModelMode::App ? "Widget" : "Widget Boot";
  shape.serial = "0001";
  // On the port it was plugged into, however its nodes are numbered when it comes back.
  shape.usbPort = modelPort_;
  const unsigned modelIndex = keyboardFirst_ ? 1 : 0;
  std::string devnode;
  Node* modelNode = nullptr;
  modelSiblings_.clear();
  for (unsigned i = 0; i < modelInterfaces_; ++i) {
    FakeInterface interface = shape;
    interface.usbInterface = i;
    if (keyboardFirst_ && i == 0) interface.descriptor = KeyboardDescriptor;
    AddInterface(number + i, interface);
    if (i == modelIndex) {
      devnode = nodes_.back()->record.devnode;
      modelNode = nodes_.back().get();
    } else {
      modelSiblings_.push_back(nodes_.back().get());
    }
  }
  std::lock_guard lock(mutex_);
  modelNode_ = modelNode;
  modelNode_->record.model = true;
  return devnode;
}

bool FakeHidHost::Settle() {
  ModelAction action = ModelAction::None;
  {
    std::lock_guard lock(mutex_);
    if (modelNode_ == nullptr) return false;
    action = pending_;
    pending_ = ModelAction::None;
  }
  int open = OpenHandles(ModelDevnode());
  for (const Node* sibling : modelSiblings_) open += OpenHandles(sibling->record.devnode);
  if (action == ModelAction::None && open == 0) {
    std::lock_guard lock(mutex_);
    action = model_.AllHandlesClosed();
  }
  if (action == ModelAction::None || action == ModelAction::Unplug) return false;
  // The next numbers after its old nodes that no other present node has.
  const auto taken = [&](unsigned first) {
    return std::any_of(nodes_.begin(), nodes_.end(), [&](const auto& n) {
      return n->handler && n->number >= first && n->number < first + modelInterfaces_;
    });
  };
  unsigned number = modelNode_->number + modelInterfaces_;
  while (taken(number)) ++number;
  // The latest first: the USB device goes with the node that added it, after the others.
  std::vector<Node*> device = modelSiblings_;
  device.push_back(modelNode_);
  std::sort(device.begin(), device.end(), [](Node* a, Node* b) { return a->number > b->number; });
  for (Node* node : device) RemoveTree(*node);
  {
    std::lock_guard lock(mutex_);
    model_.Reappeared(action);
  }
  AddModelNodes(number);
  return true;
}

bool FakeHidHost::ServeIoctl(Node& n, UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  const std::size_t size = _IOC_SIZE(request);
  std::lock_guard lock(mutex_);
  ++n.record.ioctls;
  const FakeInterface& s = n.shape;
  if (n.record.unplugged) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  bool ok = true;
  if (request == HIDIOCGRAWINFO) {
    hidraw_devinfo info{};
    info.bustype = 3;  // BUS_USB
    info.vendor = static_cast<std::int16_t>(s.vendor);
    info.product = static_cast<std::int16_t>(s.product);
    ok = Reply(client, sizeof info, reinterpret_cast<const std::uint8_t*>(&info));
  } else if (request == HIDIOCGRDESCSIZE) {
    const int length = static_cast<int>(s.descriptor.size());
    ok = Reply(client, sizeof length, reinterpret_cast<const std::uint8_t*>(&length));
  } else if (request == HIDIOCGRDESC) {
    std::vector<std::uint8_t> bytes(sizeof(std::uint32_t), 0);
    const auto length = static_cast<std::uint32_t>(s.descriptor.size());
    std::memcpy(bytes.data(), &length, sizeof length);
    bytes.insert(bytes.end(), s.descriptor.begin(), s.descriptor.end());
    ok = Reply(client, bytes.size(), bytes.data());
  } else if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) == 0x06 && size > 0) {
    const std::vector<std::uint8_t> report = Fetch(client, size);
    n.record.featuresSet.push_back(report);
    ModelAction action = ModelAction::None;
    ok = !report.empty() && (!n.record.model || model_.SetFeature(report, action));
    if (action == ModelAction::Unplug) {
      n.record.unplugged = true;
      umockdev_ioctl_client_complete(client, -1, ENODEV);
      return true;
    }
    if (action != ModelAction::None) pending_ = action;
  } else if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) == 0x07 && size > 0) {
    std::vector<std::uint8_t> report = Fetch(client, size);
    if (n.record.model)
      model_.GetFeature(report);
    else
      std::fill(report.begin(), report.end(), std::uint8_t{0});
    ok = !report.empty() && Reply(client, report.size(), report.data());
  } else {
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
    return true;
  }
  const long result = _IOC_NR(request) == 0x06 || _IOC_NR(request) == 0x07 ? long(size) : 0;
  umockdev_ioctl_client_complete(client, ok ? result : -1, ok ? 0 : EPIPE);
  return true;
}

int FakeHidHost::OpenHandles(const std::string& devnode) {
  std::string pty;
  {
    std::lock_guard lock(mutex_);
    for (const auto& n : nodes_) {
      if (n->record.devnode == devnode && n->handler) pty = n->pty;
    }
  }
  if (pty.empty()) return 0;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == pty) ++count;
  }
  return count;
}

NodeRecord FakeHidHost::Record(const std::string& devnode) {
  std::lock_guard lock(mutex_);
  for (const auto& n : nodes_) {
    if (n->record.devnode == devnode && n->handler) return n->record;
  }
  return {};
}

std::vector<NodeRecord> FakeHidHost::Records() {
  std::lock_guard lock(mutex_);
  std::vector<NodeRecord> records;
  for (const auto& n : nodes_) records.push_back(n->record);
  return records;
}

HidDeviceModel FakeHidHost::Model() {
  std::lock_guard lock(mutex_);
  return model_;
}

std::string FakeHidHost::ModelDevnode() {
  std::lock_guard lock(mutex_);
  return modelNode_ ? modelNode_->record.devnode : std::string();
}

void FakeHidHost::SetModelStatus(std::uint8_t first, std::uint8_t second) {
  std::lock_guard lock(mutex_);
  model_.SetStatus(first, second);
}

void FakeHidHost::SetModelRefusedBlock(std::uint32_t block) {
  std::lock_guard lock(mutex_);
  model_.RefuseBlock(block);
}

void FakeHidHost::SetModelUnplugBlock(std::uint32_t block) {
  std::lock_guard lock(mutex_);
  model_.UnplugAtBlock(block);
}

}  // namespace dalvorn::linuxtest

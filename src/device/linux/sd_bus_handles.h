// Owning handles of sd-bus's connection and messages, for the services the program asks over
// D-Bus (the power service, the desktop's taskbar and notifications).
#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace dalvorn {

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// Flushes what is still queued, then closes the connection.
struct BusClose {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;

}  // namespace dalvorn

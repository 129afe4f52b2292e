// What a recorded trace tells of the host and the device, read one traced call at a time: the
// host's interfaces in the order the searches met them, what the device showed in each mode,
// its status report, the blocks it took and when it left and came back. scenario_json.h turns
// it into a scenario.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "interface_order.h"
#include "trace_line.h"

namespace dalvorn::emulator {

// What the device showed in one mode; strings keyed "manufacturer", "product", "serial".
struct RecordedIdentity {
  std::optional<unsigned> version;
  std::optional<unsigned> reportLength;
  std::map<std::string, std::string> strings;  // the longest bytes (hex) a query gave
  std::set<std::string> failedStrings;
};

// One search: when it started on the replay's clock and what it found of the device.
struct RecordedSearch {
  std::int64_t at = 0;
  std::optional<bool> foundApp;  // nullopt: not found
};

// The power service as the trace's `power` lines show it at the click.
struct RecordedPower {
  bool onBattery = false;
  std::optional<std::int64_t> percentage;  // none: the charge could not be read
  bool holdRefused = false;
};

// An interface path as the trace shows it.
struct RecordedPath {
  unsigned vendor = 0, product = 0, version = 0;
  bool opened = false;
  bool identified = false;  // its attributes name the device
  unsigned reportLength = 0;
};

// Lower-case or upper-case hex digits as bytes; an odd last digit, and any pair that is not
// two hex digits, is ignored.
std::vector<std::uint8_t> BytesFromHex(const std::string& hex);

// What a trace tells of the physical device an interface of the kind belongs to.
struct OtherInterface {
  // Its name ("target" for a second interface of the device); none when the trace does not
  // tell.
  std::optional<std::string> physical;
  // The system could not tell: the property query failed (`physical` null, result 0).
  bool physicalQueryFailed = false;
};

// Other interfaces of the kind than the device found at load, keyed by path.
using OtherInterfaces = std::map<std::string, OtherInterface>;

// The first reading of a trace, before RecordedRun: the count of devices before the update
// walks every interface, so any other path of the kind that a walk meeting the device's own
// path sees is another interface. Takes the lines one at a time and keeps only the paths.
class OtherInterfacesReader {
 public:
  // Takes the next line (checked: trace_check.h).
  void Line(const TraceLine& line);
  // What the lines taken tell.
  OtherInterfaces Result();

 private:
  void EndWalk();

  std::map<std::int64_t, std::string> files_;  // open handle -> path
  // path -> physical device; none when the query failed
  std::map<std::string, std::optional<std::string>> physical_;
  std::set<std::string> walk_, others_;
  bool walking_ = false;
  std::int64_t walks_ = 0;
  std::string loadPath_, current_;
};

class RecordedRun {
 public:
  explicit RecordedRun(OtherInterfaces otherInterfaces);

  // Takes the next line of the trace (checked: trace_check.h). Throws TraceLineError for a
  // value the replay cannot take (pauses that add up past the clock's range).
  void Line(const TraceLine& line);

  // The interfaces other than the device, in order ("vanished#N" for an interface that
  // vanished), and the device's place among them; no place when it was never found at load.
  InterfaceOrder interfaces;
  std::map<std::string, RecordedPath> paths;
  // Other interfaces of the kind: the name of the physical device each belongs to ("target"
  // for a second interface of the device), or none when the trace does not tell.
  OtherInterfaces others;

  std::vector<RecordedSearch> searches;
  RecordedIdentity app, boot, appAfter;
  std::optional<bool> startApp;
  bool capsFail = false, overlappedFails = false, statusFails = false, entryFails = false;
  bool locationFails = false;  // the system gave no location for the device
  std::optional<std::vector<std::uint8_t>> status;
  std::optional<std::int64_t> entryAt, restartAt;
  std::uint32_t refused = 0;  // the 1-based block refused, 0 for none
  bool unplugged = false;     // ... because the device was unplugged during its send
  // What the power service answered; none when the trace has no `power` line (a run without a
  // click, or a trace from before the program traced its power service).
  std::optional<RecordedPower> power;

 private:
  using Handler = void (RecordedRun::*)(const TraceLine& line, std::int64_t result,
                                        std::int64_t handle);
  static const std::map<std::string, Handler>& Handlers();

  // A `power` line: the first battery reading and the hold's result.
  void OnPower(const TraceLine& line);
  void OnSleep(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnClassDevs(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnInterfaceDetail(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnCreateFile(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnAttributes(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnPreparsedData(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnCaps(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnString(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnSetFeature(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnGetFeature(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnCloseHandle(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnFreePreparsedData(const TraceLine& line, std::int64_t result, std::int64_t handle);
  void OnLocation(const TraceLine& line, std::int64_t result, std::int64_t handle);

  // The mode of the device open on `handle`: true in application mode; nullopt when the handle
  // is not open on the device.
  std::optional<bool> DeviceMode(std::int64_t handle);
  RecordedIdentity& IdentityOf(bool isApp);

  std::map<std::int64_t, std::string> files_;      // open handle -> path
  std::map<std::int64_t, std::int64_t> prepared_;  // preparsed -> handle
  std::string pendingPath_;
  std::int64_t vanished_ = 0;
  bool statusRead_ = false;
  bool batteryRead_ = false;
  std::uint32_t blocks_ = 0, blocksTaken_ = 0;
  bool lineAfterRefusal_ = false;
  std::int64_t openToBoot_ = 0;
  std::int64_t now_ = 0;  // the replay's clock: the sum of the pauses so far
};

}  // namespace dalvorn::emulator

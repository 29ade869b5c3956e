// Late-bound device drivers: a variant value, an object that is read,
// written and called by member name, and a registry of driver identifiers.
//
// The device windows (telescope, focuser, filter wheel, cameras) create a
// driver from its identifier and call it by member name ("Connected",
// "RightAscension", "SlewToCoordinatesAsync", ...). A failing call raises
// EAutomationError; the caller logs it and goes on with a neutral value.
// Three kinds of driver answer: the built-in simulators
// (platform/automation_sim.h), INDI devices (platform/automation_indi.h,
// identifiers "INDI:host:port:device") and mounts of the LX200 family on a
// serial line or network port (platform/automation_lx200.h, identifiers
// "LX200:/dev/ttyUSB0:9600", "LX200:host:port"). All calls are made on the
// GUI thread. A call that waits for a device (an LX200 mount's reply, an INDI
// server's answer) handles the GUI thread's events meanwhile, so anything
// the program does (a timer, a click, even a disconnect) may happen during
// the call; the callers keep the driver object alive across each call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace platform {

// Raised by every failing driver call (unknown member, wrong value type,
// device error, lost connection).
class EAutomationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised when the device's link is gone (a pulled cable, a closed network
// port, a device that stopped answering or answers noise). The driver reads
// Connected false from then on and raises this for every further call,
// without touching the line, until Connected is put true again.
class EAutomationLinkLost : public EAutomationError {
 public:
  using EAutomationError::EAutomationError;
};

// Raised by a call whose command went to the device but whose answer was
// lost or spoiled, where the command is one that is never sent twice (a
// goto, a sync, a park): what the device did is not known, the text says
// what it may be doing ("the mount may be moving"). The link stays.
class EAutomationOutcomeUnknown : public EAutomationError {
 public:
  using EAutomationError::EAutomationError;
};

// Raised by a call that a disconnect ended before the device answered
// (the user or the program closed the connection): nothing to report.
class EAutomationCancelled : public EAutomationError {
 public:
  using EAutomationError::EAutomationError;
};

// A date-time put to a driver ("UTCDate"): seconds since 1970-01-01 UTC.
struct TAutomationDate {
  double unixSeconds = 0;
};

// A variant value: empty, Boolean, integer, double, text, date, or a 1-D
// array of texts or integers.
class TVariant {
 public:
  using Value = std::variant<std::monostate, bool, int32_t, double, std::string, TAutomationDate,
                             std::vector<std::string>, std::vector<int32_t>>;

  TVariant() = default;
  TVariant(bool v) : v_(v) {}
  TVariant(int32_t v) : v_(v) {}
  TVariant(double v) : v_(v) {}
  TVariant(const char* v) : v_(std::string(v)) {}
  TVariant(std::string v) : v_(std::move(v)) {}
  TVariant(TAutomationDate v) : v_(v) {}
  TVariant(std::vector<std::string> v) : v_(std::move(v)) {}
  TVariant(std::vector<int32_t> v) : v_(std::move(v)) {}

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(v_); }
  const Value& Raw() const { return v_; }

  // Conversions as late binding makes them: numbers and Booleans convert
  // into each other (non-zero is true; doubles round half to even), texts
  // convert to numbers when they hold one in the invariant format. Anything
  // else raises EAutomationError.
  bool AsBool() const;
  int32_t AsInt() const;
  double AsDouble() const;
  std::string AsString() const;
  TAutomationDate AsDate() const;
  std::vector<std::string> AsStringArray() const;
  std::vector<int32_t> AsIntArray() const;

 private:
  Value v_;
};

using TVariantList = std::vector<TVariant>;

// A driver object called by member name.
class IAutomationObject {
 public:
  virtual ~IAutomationObject() = default;
  // Reads property `member`.
  virtual TVariant Get(const std::string& member) = 0;
  // Writes property `member`.
  virtual void Put(const std::string& member, const TVariant& value) = 0;
  // Calls method `member` with `args`; empty result for methods without one.
  virtual TVariant Invoke(const std::string& member, const TVariantList& args) = 0;
  // A warning for the user that no call raised (an LX200 line that keeps
  // needing second asks), given once and then gone; empty when there is
  // none. Asked by the caller after a call.
  virtual std::string TakeNotice() { return {}; }
  // A fault of the device that no call raised (a mount that restarted and
  // lost what it was sent), given once; empty when there is none. Asked
  // by the caller after a call.
  virtual std::string TakeFault() { return {}; }
};

using TAutomationRef = std::shared_ptr<IAutomationObject>;

// One registered driver.
struct TDriverEntry {
  std::string id;           // the identifier the windows store ("Noctra.Simulator.Telescope")
  std::string deviceType;   // "Telescope", "Focuser", "FilterWheel", "Camera", or "" (helpers)
  std::string description;  // shown by the chooser
  std::function<TAutomationRef()> create;
};

// Registers (or replaces) a driver; the built-in simulators and the chooser
// are registered before the first lookup.
void RegisterDriver(TDriverEntry entry);
void UnregisterDriverForTest(const std::string& id);

// Registers a family of identifiers that begin with `prefix` ("INDI:"): the
// factory receives the whole identifier.
void RegisterDriverScheme(const std::string& prefix,
                          std::function<TAutomationRef(const std::string& id)> create);

// The registered drivers of one device type, in registration order.
std::vector<TDriverEntry> ListDrivers(const std::string& deviceType);

// Creates the driver object of identifier `id` (surrounding blanks ignored).
// Raises EAutomationError for an unknown identifier or a failing factory.
TAutomationRef CreateOleObject(const std::string& id);

// The chooser for one device type ("Telescope", "Focuser", "FilterWheel",
// "Camera") opened on `current`: the chosen identifier, `current` when the
// user cancels. Without a chooser the message "ASCOM drivers couldn't be
// found, ..." is shown and `current` kept.
std::string ChooseDriver(const std::string& deviceType, const std::string& current);

// Creates the driver of identifier `id`, puts "Connected" true and reads it
// back: the connected driver, or null when any step fails (an unknown
// identifier, a failing driver, one that stays unconnected); `why` (when
// given) receives the reason of a failure.
TAutomationRef ConnectDriver(const std::string& id, std::string* why = nullptr);

// The identifier of the driver chooser object: put "DeviceType", then
// Invoke "Choose" with the current identifier; the result is the chosen one
// (the current one when the user cancels).
inline constexpr const char* kChooserId = "DriverHelper.Chooser";

// What the chooser object shows: given the device type, the current
// identifier and the registered drivers of that type, the user's choice.
// The program installs a dialog; without one the chooser keeps the current
// identifier. An empty function restores that default.
using TChooserUi = std::function<std::string(const std::string& deviceType, const std::string& current,
                                             const std::vector<TDriverEntry>& drivers)>;
void SetChooserUi(TChooserUi ui);

// INDI devices: "INDI:host:port:device" names a mount, focuser or filter
// wheel of an INDI server, "INDICAM:host:port:device" a camera.
inline constexpr const char* kIndiPrefix = "INDI:";
inline constexpr const char* kIndiCameraPrefix = "INDICAM:";
// The identifier of a device of `deviceType` ("Camera", "Telescope", ...)
// on an INDI server: the camera form for a camera, the other one else.
std::string IndiIdentifier(const std::string& deviceType, const std::string& host, int port,
                           const std::string& device);
// The parts of an INDI identifier of either form (the device name may hold
// blanks and colons); false for any other identifier.
bool SplitIndiIdentifier(const std::string& id, std::string& host, std::string& port, std::string& device);

// Reads the text of an automation failure for logs.
std::string DescribeFailure(const std::exception& e);

// Why a driver that reads Connected false lost its link, as it says when
// `member` is read: the text of the EAutomationLinkLost it raises then (an
// INDI device whose server stopped: "INDI server connection lost"; whose
// driver ended: "INDI driver of "Telescope Simulator" ended"); empty when
// it raises nothing of the kind.
std::string LinkLostReason(IAutomationObject& driver, const std::string& member);

}  // namespace platform

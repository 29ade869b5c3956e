#include "platform/automation.h"

#include <cmath>
#include <map>
#include <mutex>

#include "platform/automation_sim.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"

namespace platform {

namespace {

[[noreturn]] void TypeMismatch(const char* want) {
  throw EAutomationError(std::string("Type mismatch: ") + want + " expected");
}

// Text to double in the invariant format; false when it is not a number.
bool TextToDouble(const std::string& s, double& out) { return ParseDouble(s, out) && std::isfinite(out); }

}  // namespace

bool TVariant::AsBool() const {
  if (auto b = std::get_if<bool>(&v_)) return *b;
  if (auto i = std::get_if<int32_t>(&v_)) return *i != 0;
  if (auto d = std::get_if<double>(&v_)) return *d != 0;
  if (auto s = std::get_if<std::string>(&v_)) {
    if (*s == "True" || *s == "true" || *s == "TRUE") return true;
    if (*s == "False" || *s == "false" || *s == "FALSE") return false;
    double d = 0;
    if (TextToDouble(*s, d)) return d != 0;
  }
  TypeMismatch("Boolean");
}

int32_t TVariant::AsInt() const {
  if (auto b = std::get_if<bool>(&v_)) return *b ? -1 : 0;
  if (auto i = std::get_if<int32_t>(&v_)) return *i;
  double d = 0;
  if (auto p = std::get_if<double>(&v_)) d = *p;
  else if (auto s = std::get_if<std::string>(&v_)) {
    if (!TextToDouble(*s, d)) TypeMismatch("integer");
  } else {
    TypeMismatch("integer");
  }
  d = std::nearbyint(d);
  if (!(d >= -2147483648.0 && d <= 2147483647.0)) throw EAutomationError("Overflow");
  return int32_t(d);
}

double TVariant::AsDouble() const {
  if (auto b = std::get_if<bool>(&v_)) return *b ? -1.0 : 0.0;
  if (auto i = std::get_if<int32_t>(&v_)) return *i;
  if (auto d = std::get_if<double>(&v_)) return *d;
  if (auto s = std::get_if<std::string>(&v_)) {
    double d = 0;
    if (TextToDouble(*s, d)) return d;
  }
  TypeMismatch("number");
}

std::string TVariant::AsString() const {
  if (auto s = std::get_if<std::string>(&v_)) return *s;
  if (auto b = std::get_if<bool>(&v_)) return *b ? "True" : "False";
  if (auto i = std::get_if<int32_t>(&v_)) return std::to_string(*i);
  if (auto d = std::get_if<double>(&v_)) return FormatGeneral(*d);
  if (std::holds_alternative<std::monostate>(v_)) return "";
  TypeMismatch("text");
}

TAutomationDate TVariant::AsDate() const {
  if (auto t = std::get_if<TAutomationDate>(&v_)) return *t;
  TypeMismatch("date");
}

std::vector<std::string> TVariant::AsStringArray() const {
  if (auto a = std::get_if<std::vector<std::string>>(&v_)) return *a;
  TypeMismatch("array of text");
}

std::vector<int32_t> TVariant::AsIntArray() const {
  if (auto a = std::get_if<std::vector<int32_t>>(&v_)) return *a;
  TypeMismatch("array of integers");
}

// --- The registry ----------------------------------------------------------

namespace {

// The chooser object: the windows put DeviceType and call Choose.
class TChooserObject : public IAutomationObject {
 public:
  TVariant Get(const std::string& member) override {
    if (member == "DeviceType" || member == "devicetype") return deviceType_;
    throw EAutomationError("Unknown member " + member);
  }
  void Put(const std::string& member, const TVariant& value) override {
    if (member == "DeviceType" || member == "devicetype") {
      deviceType_ = value.AsString();
      return;
    }
    throw EAutomationError("Unknown member " + member);
  }
  TVariant Invoke(const std::string& member, const TVariantList& args) override;

 private:
  std::string deviceType_ = "Telescope";
};

struct Registry {
  std::mutex mutex;
  std::vector<TDriverEntry> drivers;
  std::map<std::string, std::function<TAutomationRef(const std::string&)>> schemes;
  TChooserUi chooser;
  bool builtInsDone = false;
};

Registry& Reg() {
  static Registry r;
  return r;
}

// Registers the chooser and the simulators once, before the first lookup.
void EnsureBuiltIns() {
  Registry& r = Reg();
  {
    std::lock_guard lock(r.mutex);
    if (r.builtInsDone) return;
    r.builtInsDone = true;
  }
  RegisterDriver({kChooserId, "", "Driver chooser", [] { return std::make_shared<TChooserObject>(); }});
  RegisterSimulatorDrivers();
}

TVariant TChooserObject::Invoke(const std::string& member, const TVariantList& args) {
  if (member != "Choose") throw EAutomationError("Unknown member " + member);
  const std::string current = args.empty() ? std::string() : args[0].AsString();
  TChooserUi ui;
  {
    std::lock_guard lock(Reg().mutex);
    ui = Reg().chooser;
  }
  if (!ui) return current;
  return ui(deviceType_, current, ListDrivers(deviceType_));
}

}  // namespace

void RegisterDriver(TDriverEntry entry) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  for (auto& d : r.drivers) {
    if (d.id == entry.id) {
      d = std::move(entry);
      return;
    }
  }
  r.drivers.push_back(std::move(entry));
}

void UnregisterDriverForTest(const std::string& id) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  std::erase_if(r.drivers, [&](const TDriverEntry& d) { return d.id == id; });
}

void RegisterDriverScheme(const std::string& prefix,
                          std::function<TAutomationRef(const std::string& id)> create) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  r.schemes[prefix] = std::move(create);
}

std::vector<TDriverEntry> ListDrivers(const std::string& deviceType) {
  EnsureBuiltIns();
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  std::vector<TDriverEntry> out;
  for (const auto& d : r.drivers)
    if (d.deviceType == deviceType) out.push_back(d);
  return out;
}

TAutomationRef CreateOleObject(const std::string& idIn) {
  EnsureBuiltIns();
  std::size_t a = idIn.find_first_not_of(" \t");
  std::size_t b = idIn.find_last_not_of(" \t");
  const std::string id = a == std::string::npos ? std::string() : idIn.substr(a, b - a + 1);
  std::function<TAutomationRef()> create;
  std::function<TAutomationRef(const std::string&)> scheme;
  {
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    for (const auto& d : r.drivers)
      if (d.id == id) create = d.create;
    if (!create) {
      for (const auto& [prefix, f] : r.schemes)
        if (id.compare(0, prefix.size(), prefix) == 0) scheme = f;
    }
  }
  TAutomationRef obj;
  if (create) obj = create();
  else if (scheme) obj = scheme(id);
  else throw EAutomationError("Invalid class string: \"" + id + "\"");
  if (!obj) throw EAutomationError("Cannot create \"" + id + "\"");
  return obj;
}

std::string ChooseDriver(const std::string& deviceType, const std::string& current) {
  try {
    TAutomationRef chooser = CreateOleObject(kChooserId);
    chooser->Put("DeviceType", TVariant(deviceType));
    return chooser->Invoke("Choose", {TVariant(current)}).AsString();
  } catch (const std::exception&) {
    ShowMessageBox("ASCOM drivers couldn't be found, visit https://ascom-standards.org", "Noctra Planetarium",
                   MsgButtons::Ok, MsgIcon::Exclamation);
    return current;
  }
}

TAutomationRef ConnectDriver(const std::string& id, std::string* why) {
  std::string reason = "the driver stays unconnected";
  try {
    TAutomationRef driver = CreateOleObject(id);
    driver->Put("Connected", TVariant(true));
    if (driver->Get("Connected").AsBool()) return driver;
  } catch (const std::exception& e) {
    reason = e.what();
  }
  if (why) *why = reason;
  return nullptr;
}

void SetChooserUi(TChooserUi ui) {
  std::lock_guard lock(Reg().mutex);
  Reg().chooser = std::move(ui);
}

std::string IndiIdentifier(const std::string& deviceType, const std::string& host, int port,
                           const std::string& device) {
  return (deviceType == "Camera" ? kIndiCameraPrefix : kIndiPrefix) + host + ":" + std::to_string(port) + ":" +
         device;
}

bool SplitIndiIdentifier(const std::string& id, std::string& host, std::string& port, std::string& device) {
  std::size_t at = 0;
  for (const char* prefix : {kIndiPrefix, kIndiCameraPrefix})
    if (id.rfind(prefix, 0) == 0) at = std::string(prefix).size();
  if (at == 0) return false;
  const std::size_t b = id.find(':', at);
  const std::size_t c = b == std::string::npos ? b : id.find(':', b + 1);
  if (c == std::string::npos) return false;
  host = id.substr(at, b - at);
  port = id.substr(b + 1, c - b - 1);
  device = id.substr(c + 1);
  return true;
}

std::string DescribeFailure(const std::exception& e) { return e.what(); }

std::string LinkLostReason(IAutomationObject& driver, const std::string& member) {
  try {
    (void)driver.Get(member);
  } catch (const EAutomationLinkLost& e) {
    return e.what();
  } catch (const std::exception&) {
  }
  return {};
}

}  // namespace platform

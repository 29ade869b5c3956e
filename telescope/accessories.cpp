#include "telescope/accessories.h"

#include <algorithm>
#include <cmath>

#include "astro/text.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/numfmt.h"
#include "platform/registry.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"

using platform::TVariant;

namespace {

TFocuserControl* g_focuser = nullptr;
TFilterWheelControl* g_wheel = nullptr;

// The driver's own description, empty when it cannot give one.
std::string DriverInfo(platform::IAutomationObject& driver) {
  try {
    return driver.Get("DriverInfo").AsString();
  } catch (const std::exception&) {
    return std::string();
  }
}

// One driver read with its failure logged ("Warning, <member> failed: ...")
// and the neutral value given instead, as every accessory call does.
template <class R, class F, class L>
R GuardedRead(const char* member, R neutral, F&& read, L&& log) {
  try {
    return read();
  } catch (const std::exception& e) {
    log(std::string("Warning, ") + member + " failed: " + e.what());
    return neutral;
  }
}

}  // namespace

TFocuserControl* FocuserControl() { return g_focuser; }
void SetFocuserControl(TFocuserControl* c) { g_focuser = c; }
TFilterWheelControl* FilterWheelControl() { return g_wheel; }
void SetFilterWheelControl(TFilterWheelControl* c) { g_wheel = c; }

// --- Focuser ---------------------------------------------------------------------------

TFocuserControl::TFocuserControl(QObject* parent) : QObject(parent) {
  RegisterDeviceDrivers();
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &TFocuserControl::Timer1Timer);
  timer_.start();
}

void TFocuserControl::Log(const std::string& s) const { LogLines().AddLine("[Ascom.Focuser] " + s); }

void TFocuserControl::SelectClick() {
  name = platform::ChooseDriver("Focuser", name);
  emit changed();
}

void TFocuserControl::SetDisconnected() {
  connected_ = false;
  ui_ = TDeviceControls{};
  emit changed();
}

void TFocuserControl::ConnectClick() {
  if (connected_) return;
  ui_.fault.clear();
  driver_ = platform::ConnectDriver(name);
  if (!driver_) {
    Log("Connect failed");
    emit changed();
    return;
  }
  connected_ = true;
  ui_.connect = ui_.select = ui_.name = false;
  ui_.disconnect = true;
  ui_.connectedShape = TShape::Green;
  Log("Connect: " + DriverInfo(*driver_));
  emit changed();
}

void TFocuserControl::DisconnectClick() {
  if (!connected_) return;
  bool still = true;
  std::string why;
  try {
    driver_->Put("Connected", TVariant(false));
  } catch (const std::exception& e) {
    why = e.what();
  }
  try {
    still = driver_->Get("Connected").AsBool();
  } catch (const std::exception& e) {
    if (why.empty()) why = e.what();
  }
  // A focuser that refuses to let go stays connected; one let go all the
  // same (an INDI server that did not answer, its connection closed) goes
  // with the reason.
  if (still) {
    if (!why.empty()) Log("Warning, disconnect failed: " + why);
    return;
  }
  driver_.reset();
  SetDisconnected();
  Log(why.empty() ? "Disconnected" : "Disconnected: " + why);
}

void TFocuserControl::Timer1Timer() {
  // Not inside a device's wait: its caller may be using the driver.
  if (platform::NestedEventDepth() > 0) return;
  if (connected_) {
    bool linked = true;
    try {
      linked = driver_->Get("Connected").AsBool();
    } catch (const std::exception&) {
      linked = true;  // a failed read is no proof of a lost link
    }
    if (!linked) {
      const TLinkLostText text = LinkLostText(platform::LinkLostReason(*driver_, "Position"));
      Log(text.log);
      driver_.reset();
      SetDisconnected();
      ui_.fault = text.fault;
      emit changed();
      return;
    }
  }
  const TShape s = connected_ ? TShape::Green : TShape::ButtonFace;
  if (ui_.connectedShape != s) {
    ui_.connectedShape = s;
    emit changed();
  }
}

bool TFocuserControl::GetAbsolute() {
  if (!connected_) return false;
  return GuardedRead("Absolute", bool(false),
                     [&] { return driver_->Get("Absolute").AsBool(); },
                     [this](const std::string& t) { Log(t); });
}

int32_t TFocuserControl::GetPosition() {
  if (!connected_) return -999999;
  return GuardedRead("Position", int32_t(-999999),
                     [&] { return driver_->Get("Position").AsInt(); },
                     [this](const std::string& t) { Log(t); });
}

int32_t TFocuserControl::GetMaxIncrement() {
  if (!connected_) return -999999;
  return GuardedRead("MaxIncrement", int32_t(-999999),
                     [&] { return driver_->Get("MaxIncrement").AsInt(); },
                     [this](const std::string& t) { Log(t); });
}

void TFocuserControl::Move(int32_t value) {
  if (!connected_) return;
  try {
    driver_->Invoke("Move", {TVariant(value)});
  } catch (const std::exception& e) {
    Log(std::string("Warning, Move failed: ") + e.what());
  }
}

bool TFocuserControl::IsMoving() {
  if (!connected_) return false;
  return GuardedRead("IsMoving", bool(false),
                     [&] { return driver_->Get("IsMoving").AsBool(); },
                     [this](const std::string& t) { Log(t); });
}

void TFocuserControl::LoadSettings() {
  platform::TRegIniFile reg;
  name = reg.ReadString("ASCOM", "FOCUSER_NAME", name);
  emit changed();
}

void TFocuserControl::SaveSettings() const {
  platform::TRegIniFile reg;
  reg.WriteString("ASCOM", "FOCUSER_NAME", name);
}

// --- Filter wheel -----------------------------------------------------------------------------

TFilterWheelControl::TFilterWheelControl(QObject* parent) : QObject(parent) {
  RegisterDeviceDrivers();
  timer_.setInterval(1000);
  tweakTimer_.setInterval(100);
  connect(&timer_, &QTimer::timeout, this, &TFilterWheelControl::Timer1Timer);
  connect(&tweakTimer_, &QTimer::timeout, this, &TFilterWheelControl::TweakTimerTimer);
}

void TFilterWheelControl::Log(const std::string& s) const { LogLines().AddLine("[Ascom.Filterwheel] " + s); }

void TFilterWheelControl::SelectClick() {
  name = platform::ChooseDriver("FilterWheel", name);
  emit changed();
}

void TFilterWheelControl::ConnectClick() {
  if (connected_) return;
  ui_.fault.clear();
  driver_ = platform::ConnectDriver(name);
  if (!driver_) {
    Log("Connect failed");
    return;
  }
  connected_ = true;
  ui_.disconnect = true;
  ui_.connect = ui_.select = ui_.name = false;
  timer_.start();
  ui_.connectedShape = TShape::Green;
  const std::string info = DriverInfo(*driver_);
  // The maker's wheel is known by its identifier, not by its description.
  maker_ = name.find("Tar_vel") != std::string::npos;
  ui_.tweak = maker_;
  ui_.makerShape = maker_ ? TShape::Green : TShape::ButtonFace;
  Log(maker_ ? "Connect, Tarvel compatible: " + info : "Connect: " + info);
  emit changed();
}

void TFilterWheelControl::DisconnectClick() {
  if (!connected_) return;
  std::string why;
  try {
    driver_->Put("Connected", TVariant(false));
  } catch (const std::exception& e) {
    // The object is released in any case, and what went wrong told (an
    // INDI server that did not answer, its connection closed).
    why = e.what();
  }
  connected_ = maker_ = false;
  tweakCode_ = 0;
  tweakTimer_.stop();
  timer_.stop();
  ui_ = TDeviceControls{};
  driver_.reset();
  Log(why.empty() ? "Disconnected" : "Disconnected: " + why);
  emit changed();
}

void TFilterWheelControl::Timer1Timer() {
  // Not inside a device's wait: its caller may be using the driver.
  if (!connected_ || platform::NestedEventDepth() > 0) return;
  bool linked = true;
  try {
    linked = driver_->Get("Connected").AsBool();
  } catch (const std::exception&) {
    linked = true;
  }
  if (!linked) {
    const TLinkLostText text = LinkLostText(platform::LinkLostReason(*driver_, "Position"));
    Log(text.log);
    DisconnectClick();
    ui_.fault = text.fault;
    emit changed();
  }
}

std::vector<std::string> TFilterWheelControl::GetNames() {
  if (!connected_) return {};
  return GuardedRead("Names", std::vector<std::string>({}),
                     [&] { return driver_->Get("Names").AsStringArray(); },
                     [this](const std::string& t) { Log(t); });
}

std::vector<int32_t> TFilterWheelControl::GetFocusOffsets() {
  if (!connected_) return {};
  return GuardedRead("FocusOffsets", std::vector<int32_t>({}),
                     [&] { return driver_->Get("FocusOffsets").AsIntArray(); },
                     [this](const std::string& t) { Log(t); });
}

void TFilterWheelControl::SetPosition(int32_t slot) {
  if (!connected_) return;
  try {
    driver_->Put("Position", TVariant(slot));
    Log("Moving to filter#" + std::to_string(slot));
  } catch (const std::exception& e) {
    Log(std::string("Warning, Position failed: ") + e.what());
  }
}

int32_t TFilterWheelControl::GetPosition() {
  if (!connected_) return -999;
  return GuardedRead("Position", int32_t(-999),
                     [&] { return driver_->Get("Position").AsInt(); },
                     [this](const std::string& t) { Log(t); });
}

void TFilterWheelControl::SetTemperature(double degrees) {
  if (!connected_ || !maker_ || !std::isfinite(degrees)) return;
  const int32_t tenths = int32_t(std::clamp(std::nearbyint(degrees * 10.0), -999.0, 300.0));
  try {
    driver_->Put("Position", TVariant(int32_t(999)));
    driver_->Put("Position", TVariant(tenths));
    Log("Setting temperature " + platform::FormatFixed(degrees, 0, 1));
  } catch (const std::exception& e) {
    Log(std::string("Warning, temperature failed: ") + e.what());
  }
}

double TFilterWheelControl::GetTemperature() {
  if (!connected_ || !maker_) return -999.0;
  try {
    driver_->Put("Position", TVariant(int32_t(999)));
    return driver_->Get("Position").AsInt() / 10.0;
  } catch (const std::exception& e) {
    Log(std::string("Warning, temperature failed: ") + e.what());
    return -999.0;
  }
}

void TFilterWheelControl::TweakClick(int code) {
  if (!connected_ || !maker_ || tweakCode_ != 0 || code < 99 || code > 101) return;
  SetPosition(code);
  tweakCode_ = code;
  tweakStart_ = platform::TimeGetTime();
  tweakTimer_.start();
}

void TFilterWheelControl::TweakTimerTimer() {
  if (tweakCode_ == 0) {
    tweakTimer_.stop();
    return;
  }
  const int32_t p = GetPosition();
  const bool timedOut = uint32_t(platform::TimeGetTime() - tweakStart_) >= uint32_t(tweakLimitMs);
  if (p == -1 && !timedOut) return;
  tweakTimer_.stop();
  const int code = tweakCode_;
  tweakCode_ = 0;
  if (p == -1) {
    Log("Tweek filters, no answer from the wheel");
  } else {
    Log(code == 99 ? "Tweek filters, -" : code == 100 ? "Tweek filters, +" : "Tweek filters, AutoCal");
  }
  emit changed();
}

void TFilterWheelControl::LoadSettings() {
  platform::TRegIniFile reg;
  name = reg.ReadString("ASCOM", "FILTERWHEEL_NAME", name);
  emit changed();
}

void TFilterWheelControl::SaveSettings() const {
  platform::TRegIniFile reg;
  reg.WriteString("ASCOM", "FILTERWHEEL_NAME", name);
}

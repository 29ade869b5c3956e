// The logic of the focuser window TFocuserForm1 and of the filter-wheel
// window TFilterWheelForm1. Both connect a driver by identifier, watch its
// link each second and answer the imaging console with neutral values while
// disconnected or when a call fails (each failure logged with the window's
// prefix, "[Ascom.Focuser] " or "[Ascom.Filterwheel] ").
#pragma once

#include <QObject>
#include <QTimer>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "telescope/tele_control.h"

// Enabled states of a device window's controls.
struct TDeviceControls {
  bool connect = true, disconnect = false, select = true, name = true;
  bool tweak = false;  // the wheel's three adjustment buttons
  TShape connectedShape = TShape::ButtonFace, makerShape = TShape::ButtonFace;
  std::string fault;  // a lost connection told in the window; empty: none
};

class TFocuserControl : public QObject {
  Q_OBJECT
 public:
  explicit TFocuserControl(QObject* parent = nullptr);
  std::string name;
  const TDeviceControls& Controls() const { return ui_; }
  bool Connected() const { return connected_; }

  void SelectClick();
  void ConnectClick();
  void DisconnectClick();
  void Timer1Timer();

  bool GetAbsolute();
  int32_t GetPosition();      // -999999 when absent
  int32_t GetMaxIncrement();  // -999999 when absent
  void Move(int32_t value);   // position or step count, as GetAbsolute says
  bool IsMoving();

  void LoadSettings();
  void SaveSettings() const;

 signals:
  void changed();

 private:
  void Log(const std::string& s) const;
  void SetDisconnected();
  platform::TAutomationRef driver_;
  bool connected_ = false;
  TDeviceControls ui_;
  QTimer timer_;
};

class TFilterWheelControl : public QObject {
  Q_OBJECT
 public:
  explicit TFilterWheelControl(QObject* parent = nullptr);
  std::string name;
  const TDeviceControls& Controls() const { return ui_; }
  bool Connected() const { return connected_; }
  bool MakerWheel() const { return maker_; }

  void SelectClick();
  void ConnectClick();
  void DisconnectClick();
  void Timer1Timer();

  std::vector<std::string> GetNames();
  std::vector<int32_t> GetFocusOffsets();
  void SetPosition(int32_t slot);
  int32_t GetPosition();  // -1 while moving, -999 when absent
  // The maker wheel's temperature channel; other wheels ignore it.
  void SetTemperature(double degrees);
  double GetTemperature();  // -999.0 when absent

  // The maker wheel's adjustment buttons: 99 fine step -, 100 fine step +,
  // 101 calibration. The wait for the wheel runs on a 100 ms timer and gives
  // up after `tweakLimitMs`; the window stays responsive meanwhile.
  void TweakClick(int code);
  bool TweakWaiting() const { return tweakCode_ != 0; }
  void TweakTimerTimer();
  int tweakLimitMs = 30000;

  void LoadSettings();
  void SaveSettings() const;

 signals:
  void changed();

 private:
  void Log(const std::string& s) const;
  platform::TAutomationRef driver_;
  bool connected_ = false, maker_ = false;
  TDeviceControls ui_;
  QTimer timer_, tweakTimer_;
  int tweakCode_ = 0;
  uint32_t tweakStart_ = 0;
};

TFocuserControl* FocuserControl();
void SetFocuserControl(TFocuserControl* c);
TFilterWheelControl* FilterWheelControl();
void SetFilterWheelControl(TFilterWheelControl* c);

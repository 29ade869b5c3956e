// The INDI client behind every INDI driver (mounts, focusers and filter
// wheels in automation_indi.cpp, cameras in imaging/indi_camera.cpp): one
// device of one INDI server, reached through the INDI client library
// (libindiclient). The library's listener thread copies every property of
// the device into a cache under a lock; the GUI thread reads the cache only
// and builds its requests from it, never touching the library's own copies.
// Failures raise EAutomationError, as the driver interface expects.
#pragma once

#include <libindi/baseclient.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The parts of an identifier "SCHEME:host:port:device name" (the device
// name may hold blanks and colons).
struct TIndiAddress {
  std::string host;
  int port = 0;
  std::string device;
};
// Raises EAutomationError for an identifier without all parts or with a bad port.
TIndiAddress ParseIndiId(const std::string& id);

class TIndiClient : public INDI::BaseClient {
 public:
  explicit TIndiClient(const TIndiAddress& address);
  // Closes the server connection while the cache still exists.
  ~TIndiClient() override;

  // Waits up to `ms` for `done`, handling the GUI thread's events meanwhile;
  // false as on a time-out when the program's end gives up waiting.
  static bool WaitFor(const std::function<bool()>& done, int ms);
  // As WaitFor, but gives up at once when the device is lost (its server
  // connection, its driver, or a silence of the server: the wait watches
  // the server as Watch does).
  bool Await(const std::function<bool()>& done, int ms);
  [[noreturn]] static void Fail(const std::string& what);
  // The device lost: raises EAutomationLinkLost with the reason: "the INDI
  // server at <host>:<port> has not answered for 10 s" when Watch found
  // the server silent; "INDI server connection lost" when the server went
  // away (stopped, or its host away); else "INDI driver of "<device>"
  // ended" when the server reported the device gone (its driver ended:
  // killed, crashed; the server may start it again, disconnected).
  [[noreturn]] void Lost() const;
  // Raises unless the device is connected: Lost when the server or the
  // driver went away since the connect (every call says so from then on,
  // until the next Connect), else "Not connected".
  void RequireLink() const;

  const std::string& Device() const { return address_.device; }
  // The server connection; the device there (not lost since the last
  // Connect began, nor its server found silent); and the device's own
  // connection over it.
  bool Up() const { return up_; }
  bool Live() const { return Up() && !ended_ && !silent_; }
  bool LinkUp() const { return Live() && Switch("CONNECTION.CONNECT"); }

  // How long a request waits for the device's answer (5 s): a request the
  // device has not answered by then fails. Tests without a server shorten it.
  int ReplyWaitMs() const { return replyWaitMs_; }
  void SetReplyWaitForTest(int ms) { replyWaitMs_ = ms; }

  // Opens the server connection (once) and asks the device to connect,
  // then waits up to 10 s until the device reports the connection and
  // `ready` holds. Raises when the server or the device is not there, with
  // the system's reason when the server cannot be reached ("Connection
  // refused"); a server that takes the connection but answers nothing
  // within the reply wait, not even a ping, is told so ("the INDI server at
  // <host>:<port> did not answer within 5 s"); every wait ends at once when
  // the server closes the connection or reports the device gone.
  void Connect(const std::function<bool()>& ready);
  // The device defines its working properties after the connection: waits
  // until no new one has come for half a second (at most five seconds).
  void AwaitSettled();
  // Asks the device to disconnect and waits (at most the reply wait) until
  // it has: "" then, or when the server or the device is gone; else why
  // not: "the INDI server did not answer within 5 s" when not even a ping
  // was answered, "INDI device "<device>" did not answer within 5 s" when
  // the server answered (the device's driver is stopped or busy), or the
  // device's refusal. The server connection stays open either way.
  std::string Disconnect();
  // Disconnect, and where that did not end in the device letting go, the
  // server connection closed all the same (CloseServer), so that the
  // device is let go in any case: "" when it let go, else why not, with
  // "; the connection to the server is closed".
  std::string LetGo();
  // Closes the server connection (a device that would not let go is left
  // to its server, which takes the disconnect asked for when it answers
  // again): Connected reads false from then on, and every call names the
  // server connection lost.
  void CloseServer();

  // Watches the server while the device is connected, never waiting; the
  // device's users call it whenever they ask after the device (reading
  // Connected: the windows' polls), and every wait calls it. When nothing
  // has come from the server for a fifth of the silence limit, the server
  // is sent a ping (at most that often); when a ping has had no answer,
  // and nothing else has come either, for the whole limit, the server is
  // silent: the device is lost (Live false, Lost naming the silence) until
  // the next Connect. The silence of a server that may be sending a
  // picture does not count (see ReceivePictures). A stopped or busy driver
  // does not make its server silent: the server answers pings itself.
  // Older INDI servers, which know no pings, answer none: a server is
  // watched once it has answered one (the Connect sends the first).
  void Watch();
  // The silence limit (10 s, as long as the LX200 connection waits for a
  // mount's replies before it ends the link); tests shorten it (0 restores it).
  static int SilenceLimitMs();
  static void SetSilenceLimitMsForTest(int ms);

  // Asks the server for the device's pictures (BLOBs) over this connection
  // (cameras). A picture is sent in one message that may take long to come
  // over a slow link, and the client library tells nothing until the whole
  // of it has come, while the server's other answers wait behind it; so
  // while a picture may be on its way the server's silence is not counted:
  // from an exposure's start (ExpectPicture, or the device reporting
  // CCD_EXPOSURE busy with the seconds left) until its picture comes or the
  // exposure ends otherwise, and at most until the exposure's end plus
  // kPictureAllowanceMs (the time a camera's user waits for its picture
  // beyond the exposure).
  void ReceivePictures();
  void ExpectPicture(double seconds);
  static constexpr int kPictureAllowanceMs = 60000;

  // The cache. Keys of elements are "PROPERTY.ELEMENT".
  bool Has(const std::string& prop) const;
  // The type the device gave the property (INDI_UNKNOWN when it has none).
  INDI_PROPERTY_TYPE Type(const std::string& prop) const;
  IPState State(const std::string& prop) const;
  // The device's answers: how often it has sent the property so far, and
  // whether one sent after the first `mark` answers came in state `s`.
  int Updates(const std::string& prop) const;
  bool StateSince(const std::string& prop, int mark, IPState s) const;
  // The count of the device's messages so far, and the last one as
  // ": <text>" when it came after the first `mark` ("" otherwise).
  int Messages() const { return messages_; }
  std::string MessageSince(int mark) const;
  // Marks a property as waiting for the device's answer.
  void SetState(const std::string& prop, IPState s);
  bool Number(const std::string& key, double& v, double* lo = nullptr, double* hi = nullptr) const;
  bool Switch(const std::string& key) const;
  bool Text(const std::string& key, std::string& v) const;
  // Element names of a property in the device's order.
  std::vector<std::string> Elements(const std::string& prop) const;
  bool OneOfMany(const std::string& prop) const;
  // Text elements of a property in their order; none when the property is
  // not a text vector.
  std::vector<std::string> Texts(const std::string& prop) const;
  // The FITS pictures received so far (BLOBs), and the last one.
  int Pictures() const { return pictures_; }
  std::string Picture() const;

  // Raises unless the server is up and the device has the property, of
  // `type` when one is given (a property of another type is named in words).
  void Require(const std::string& prop, INDI_PROPERTY_TYPE type = INDI_UNKNOWN) const;
  // A number element; raises where there is none.
  double Num(const std::string& prop, const std::string& elem, double* lo = nullptr, double* hi = nullptr) const;
  // Sends new values of some elements of a number property; every element
  // goes with the request (drivers read missing ones as 0), the others as
  // last reported. The property reads busy from then on.
  void SendNumbers(const std::string& prop, const std::vector<std::pair<std::string, double>>& values);
  // Turns one element of a switch property on and, for one-of-many
  // switches, every other one off.
  void SendSwitch(const std::string& prop, const std::string& elem);

  // INDI::BaseClient, called on the library's listener thread.
  void newProperty(INDI::Property p) override { Store(p); }
  void updateProperty(INDI::Property p) override { Store(p); }
  void removeProperty(INDI::Property p) override;
  // The server deleted the whole device (its driver ended): the device is
  // lost, its cache emptied.
  void removeDevice(INDI::BaseDevice d) override;
  void newMessage(INDI::BaseDevice d, int id) override;
  void serverConnected() override {
    Heard();
    up_ = true;
  }
  void serverDisconnected(int) override { up_ = false; }
  void newDevice(INDI::BaseDevice d) override;
  void newUniversalMessage(std::string) override { Heard(); }
  void newPingReply(std::string) override {
    pingAnswered_ = true;
    Heard();
  }

 private:
  void Store(INDI::Property p);
  // Something came from the server (listener thread).
  void Heard() { ++heard_; }
  // Takes note of what has come from the server since Watch last looked.
  void Look(int64_t now);
  // Sends the server a ping; the count of what had come from it before.
  int Ping();
  static int64_t NowMs();
  std::string Where() const;
  // Whether a picture may be on its way at `now` (see ReceivePictures).
  bool PictureMayCome(int64_t now) const;

  struct TNumber {
    double value, min, max;
  };
  TIndiAddress address_;
  int replyWaitMs_ = 5000;
  bool served_ = false;  // a connect reached the server
  std::atomic<bool> up_{false};
  std::atomic<bool> ended_{false};  // the device deleted by its server
  std::atomic<bool> silent_{false};  // the server found silent by Watch
  // How many messages have come from the server (any kind; the listener
  // thread counts them).
  std::atomic<int> heard_{0};
  std::atomic<bool> pingAnswered_{false};  // over this server connection
  // Watch's state (the calling thread's only): the count heard when last
  // looked at and when that was, the first ping not answered since (-1:
  // none), the last ping, and the pings sent.
  int lastHeard_ = 0;
  int64_t lastHeardAt_ = 0;
  int64_t quietSince_ = -1;
  int64_t lastPing_ = -1;
  int pings_ = 0;
  int silentForMs_ = 0;
  // Pictures asked for; when a picture is due (steady-clock milliseconds,
  // -1 when none is).
  std::atomic<bool> picturesAsked_{false};
  std::atomic<int64_t> pictureDue_{-1};
  std::atomic<int> defined_{0};
  std::atomic<int> pictures_{0};
  std::atomic<int> messages_{0};
  mutable std::mutex mutex_;
  std::set<std::string> props_;
  std::map<std::string, IPState> states_;
  std::map<std::string, INDI_PROPERTY_TYPE> types_;
  // Per property: the count of updates, and the count at the last update
  // in each state (idle, ok, busy, alert).
  std::map<std::string, int> updates_;
  std::map<std::string, std::array<int, 4>> lastInState_;
  std::string message_;
  std::map<std::string, TNumber> numbers_;
  std::map<std::string, bool> switches_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, std::vector<std::string>> order_;
  std::map<std::string, ISRule> rules_;
  std::string picture_;
};

}  // namespace platform

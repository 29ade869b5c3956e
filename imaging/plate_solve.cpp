#include "imaging/plate_solve.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/text.h"
#include "imaging/jpeg_file.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"

namespace imaging {

namespace {

constexpr double kDegPerRad = 57.29577951308232;
constexpr std::size_t kOutputLimit = 1 << 20;

void Log(const std::string& text) { LogLines().AddLine("[Plate-Solve] " + text); }

std::string Num(double v) { return platform::FormatGeneral(v, 15); }

}  // namespace

// --- TRunAndCapture -----------------------------------------------------------------

TRunAndCapture::TRunAndCapture() = default;

TRunAndCapture::~TRunAndCapture() { Stop(500); }

void TRunAndCapture::Start(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workDir) {
  Stop();
  output_.clear();
  startError_.clear();
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::MergedChannels);
  if (!workDir.empty()) process_->setWorkingDirectory(QString::fromStdString(workDir));
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  // Output is collected as it arrives, so a talkative child never fills the pipe.
  QObject::connect(process_.get(), &QProcess::readyReadStandardOutput, process_.get(), [this] { Read(); });
  QObject::connect(process_.get(), &QProcess::errorOccurred, process_.get(), [this](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart) return;
    startError_ = process_->errorString().toStdString();
    if (OnEnded) OnEnded();
  });
  QObject::connect(process_.get(), &QProcess::finished, process_.get(), [this] {
    Read();
    if (OnEnded) OnEnded();
  });
  process_->start(QString::fromStdString(program), list);
}

void TRunAndCapture::Read() {
  if (!process_) return;
  const QByteArray chunk = process_->readAllStandardOutput();
  if (output_.size() < kOutputLimit)
    output_.append(chunk.constData(), std::min<std::size_t>(std::size_t(chunk.size()), kOutputLimit - output_.size()));
}

bool TRunAndCapture::Running() const {
  return process_ && process_->state() != QProcess::NotRunning;
}

void TRunAndCapture::Stop(int graceMs) {
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    process_->terminate();
    if (!process_->waitForFinished(graceMs)) {
      process_->kill();
      process_->waitForFinished(1000);
    }
  }
  Read();
  // The process object goes after its signals can no longer reach us.
  process_->disconnect();
  process_.reset();
}

// --- Reply parsing ----------------------------------------------------------------

namespace {

// Up to `n` characters of `text` from `pos`; empty where the text is shorter.
std::string Mid(const std::string& text, std::size_t pos, std::size_t n) {
  return pos < text.size() ? text.substr(pos, n) : std::string();
}

}  // namespace

bool ParseUploadReply(const std::string& reply, std::string& status, int32_t& subId) {
  status.clear();
  subId = -1;
  const auto s = reply.find("u'status': ");
  if (s != std::string::npos) {
    // The value is quoted with a u prefix: u'success'.
    status = Mid(reply, s + 13, 10);
    status = status.substr(0, status.find('\''));
  }
  const std::string key = "u'subid': ";
  const auto k = reply.find(key);
  if (k == std::string::npos) return false;
  std::string v = Mid(reply, k + key.size(), 10);
  v = v.substr(0, v.find_first_of(",}"));
  int32_t id = -1;
  if (!platform::ParseInt32(v, id)) return false;
  subId = id;
  return status == "success" && subId >= 0;
}

int32_t ParseSubmissionReply(const std::string& reply) {
  const std::string key = "u'jobs': [";
  const auto k = reply.find(key);
  if (k == std::string::npos) return -1;
  std::string v = Mid(reply, k + key.size(), 20);
  const auto close = v.find(']');
  if (close == std::string::npos) return -1;
  v = v.substr(0, close);
  v = v.substr(0, v.find(','));
  if (TrimBlanks(v).empty()) return 0;
  int32_t id = -1;
  if (!platform::ParseInt32(v, id) || id < 1) return -1;
  return id;
}

std::string ReplyStatusLine(const std::string& reply) {
  const char* strip = " \t\r\n[";
  const auto end = reply.find_last_not_of(strip);
  if (end == std::string::npos) return {};
  const auto lineStart = reply.find_last_of("\r\n", end);
  std::string line = reply.substr(lineStart == std::string::npos ? 0 : lineStart + 1,
                                  end + 1 - (lineStart == std::string::npos ? 0 : lineStart + 1));
  const auto b = line.find_first_not_of(strip);
  return b == std::string::npos ? std::string() : line.substr(b);
}

bool ReplyNumber(const std::string& reply, const std::string& key, double& value, bool& found,
                 std::string& text) {
  const auto k = reply.find(key);
  found = k != std::string::npos;
  text.clear();
  if (!found) return false;
  const auto start = k + key.size();
  const auto end = reply.find_first_of(",}\r\n", start);
  text = Mid(reply, start, end == std::string::npos ? std::string::npos : end - start);
  return platform::ParseDouble(text, value) && std::isfinite(value);
}

// --- Command lines ---------------------------------------------------------------------

std::string DefaultSolveClient() {
  return (QCoreApplication::applicationDirPath() + "/solve_client.py").toStdString();
}

std::string SolveInterpreter(const std::string& setting) {
  // The client needs the standard library only: by default the system's
  // Python, which starts at once (a "python3" found on the path may be a
  // version manager's wrapper that takes a third of a second to start).
  const std::string trimmed(TrimBlanks(setting));
  if (trimmed.empty() || trimmed == "python3")
    return QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  // A bare name is looked up on the path; anything with a folder in it is
  // made absolute here, since the child starts in the client's folder.
  if (setting.find('/') == std::string::npos && setting != "~") return setting;
  const std::string path = platform::AbsolutePath(setting);
  if (QFileInfo(QString::fromStdString(path)).isDir()) return platform::JoinPath(path, "python3");
  return path;
}

namespace {

std::string Endpoint(const TPlateSolveSettings& s) { return s.secondServer ? kSolveServer2 : kSolveServer1; }

}  // namespace

std::vector<std::string> UploadArguments(const TPlateSolveSettings& s, const std::string& script,
                                         const std::string& image) {
  std::vector<std::string> a = {script, "--server", Endpoint(s), "--apikey", s.apiKey};
  a.insert(a.end(), {"--ra", Num(s.raHint * kDegPerRad), "--dec", Num(s.decHint * kDegPerRad),
                     "--radius", Num(s.radius)});
  if (s.parity == 1) a.insert(a.end(), {"--parity", "1"});
  if (s.parity == 2) a.insert(a.end(), {"--parity", "0"});
  a.insert(a.end(), {"--upload", image});
  return a;
}

std::vector<std::string> SubmissionArguments(const TPlateSolveSettings& s, const std::string& script,
                                             int32_t subId) {
  return {script, "--server", Endpoint(s), "--apikey", s.apiKey, "--substatus", std::to_string(subId)};
}

std::vector<std::string> JobArguments(const TPlateSolveSettings& s, const std::string& script, int32_t jobId) {
  return {script, "--apikey", s.apiKey, "--jobstatus", std::to_string(jobId)};
}

// --- The client's replies -----------------------------------------------------------------

namespace {

// The index files the client found ("u'indexes': u'4110-4119'" and the
// narrowest field they solve, degrees), set against the picture's field:
// logged, and returned for the status line (empty when the reply names
// none).
std::string ExplainFailure(const TSolveProgress& p, const std::string& reply) {
  const std::string key = "u'indexes': u'";
  const auto k = reply.find(key);
  double narrowest = 0;
  bool found = false;
  std::string text;
  if (k == std::string::npos || !ReplyNumber(reply, "u'narrowest_field': ", narrowest, found, text)) return "";
  std::string indexes = Mid(reply, k + key.size(), 40);
  indexes = indexes.substr(0, indexes.find('\''));
  const std::string range = "the installed index files " + indexes + " (fields of " +
                            platform::FormatGeneral(narrowest, 3) + " deg and wider)";
  std::string line = "Tried " + range;
  if (p.fieldWidth > 0 && p.fieldHeight > 0 && std::max(p.fieldWidth, p.fieldHeight) < narrowest)
    line = "The field (" + platform::FormatFixed(p.fieldWidth, 0, 2) + " x " + platform::FormatFixed(p.fieldHeight, 0, 2) +
           " deg) is too small for " + range;
  Log(line);
  return line;
}

// Logs a failure and keeps its reason for the status line.
void Fail(TSolveProgress& p, const std::string& reason) {
  Log(reason);
  p.failure = reason;
}

// The solved position: "success" and two numbers (degrees), precessed to
// the date. False (logged) when the reply cannot be read.
bool ReadJobStatus(TSolveProgress& p, const std::string& reply) {
  const std::string status = ReplyStatusLine(reply);
  if (status == "solving") return true;
  p.resultReady = true;
  if (status != "success") {
    Fail(p, "Plate solve failed ([" + status.substr(0, 80) + "])");
    const std::string why = ExplainFailure(p, reply);
    if (!why.empty()) p.failure += ": " + why;
    return false;
  }
  double ra = 0, dec = 0;
  bool found = false;
  std::string text;
  if (!ReplyNumber(reply, "u'dec': ", dec, found, text) || !(dec >= -90 && dec <= 90)) {
    Fail(p, found ? "Dec failed: " + text.substr(0, 40) : "Can't retrieve coordinates");
    return false;
  }
  if (!ReplyNumber(reply, "u'ra': ", ra, found, text) || !(ra >= -360 && ra <= 720)) {
    Fail(p, found ? "RA failed: " + text.substr(0, 40) : "Can't retrieve coordinates");
    return false;
  }
  p.ra2000 = std::fmod(ra + 360.0, 360.0) / kDegPerRad;
  p.dec2000 = dec / kDegPerRad;
  Log("Solved, J2000.0 coordinates:");
  Log("R.A." + FormatRA_HMSs(p.ra2000) + ", Dec " + FormatDMS(p.dec2000));
  p.raDate = p.ra2000;
  p.decDate = p.dec2000;
  J2000ToChart(p.raDate, p.decDate);
  Log("Precessed to JNow: R.A." + FormatRA_HMSs(p.raDate) + ", Dec " + FormatDMS(p.decDate));
  return true;
}

// Precesses (ra, dec) between J2000 and the chart's epoch, on a copy of
// the observer record.
void PrecessForChart(double& ra, double& dec, bool toChart) {
  auto obs = std::make_unique<TObserverTime>(ObserverTime);
  if (!obs->PrecessionOn) return;
  if (toChart)
    SetPrecession(*obs, 2451545.0, obs->EpochTo);
  else
    SetPrecession(*obs, obs->EpochTo, 2451545.0);
  Precess(*obs, ra, dec);
  ra = std::fmod(ra, 2 * M_PI);
  if (ra < 0) ra += 2 * M_PI;
}

}  // namespace

void J2000ToChart(double& ra, double& dec) { PrecessForChart(ra, dec, true); }
void ChartToJ2000(double& ra, double& dec) { PrecessForChart(ra, dec, false); }

void ReadClientReply(TSolveProgress& p, const std::string& reply) {
  switch (p.state) {
    case 1: {
      std::string status;
      int32_t id = -1;
      if (ParseUploadReply(reply, status, id)) {
        p.subId = id;
        Log("Got Submission# " + std::to_string(id));
        p.resultReady = false;
        p.state = 2;
        return;
      }
      // The client's own reason comes first ("no such picture: ...").
      const std::string key = "u'errormessage': u'";
      const auto e = reply.find(key);
      std::string message;
      if (e != std::string::npos) {
        message = Mid(reply, e + key.size(), 200);
        message = message.substr(0, message.find('\''));
      } else {
        // No reply of the client's own (it could not run): its last words.
        message = ReplyStatusLine(reply).substr(0, 200);
      }
      if (!message.empty()) Log(message);
      Fail(p, "Failed to submit job");
      if (!message.empty()) p.failure += ": " + message;
      p.state = 0;
      return;
    }
    case 2: {
      const int32_t id = ParseSubmissionReply(reply);
      if (id < 0) {
        Fail(p, "Can't read the submission status");
        p.subId = -1;
        p.state = 0;
      } else if (id >= 1) {
        p.jobId = id;
        Log("Got Job# " + std::to_string(id));
        p.state = 3;
      }
      return;
    }
    case 3:
      if (!ReadJobStatus(p, reply)) {
        p.subId = p.jobId = -1;
        p.state = 0;
      } else if (p.resultReady) {
        p.state = 4;
      }
      return;
    default:
      return;
  }
}

// --- TPlateSolve ------------------------------------------------------------------------

TPlateSolve::TPlateSolve(const TPlateSolveSettings& settings, const TFitsHeader& header,
                         const platform::Bitmap& picture, int tickMs)
    : s_(settings), header_(header) {
  // The client runs in its folder: every path it is given is absolute.
  script_ = platform::AbsolutePath(s_.clientScript.empty() ? DefaultSolveClient() : s_.clientScript);
  if (!s_.clientFolder.empty()) s_.clientFolder = platform::AbsoluteFolder(s_.clientFolder);
  p_.fieldWidth = s_.fieldWidth;
  p_.fieldHeight = s_.fieldHeight;
  timeoutMs_ = uint32_t(std::max(1, s_.timeoutSeconds)) * 1000u;
  startTick_ = platform::TimeGetTime();
  secondsLeft_ = int32_t(timeoutMs_ / 1000);
  // The folder is made whole; the picture goes through a temporary file.
  imageSaved_ = !s_.clientFolder.empty() && QDir().mkpath(QString::fromStdString(s_.clientFolder)) &&
                SaveJpegFile(s_.clientFolder + "solve_me.jpg", picture, 95, true);
  // The next step follows a client's end at once, after its handler.
  client_.OnEnded = [this] { QMetaObject::invokeMethod(this, [this] { Advance(); }, Qt::QueuedConnection); };
  timer_.setInterval(tickMs);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { TimerTick(); });
  timer_.start();
  // The upload starts as soon as the caller is back in the event loop.
  QMetaObject::invokeMethod(this, [this] { Advance(); }, Qt::QueuedConnection);
}

TPlateSolve::~TPlateSolve() {
  timer_.stop();
  client_.OnEnded = nullptr;
  client_.Stop(500);
}

void TPlateSolve::Reset(const char* logLine) {
  client_.Stop();
  clientActive_ = false;
  solved_ = false;
  p_.subId = p_.jobId = -1;
  p_.state = 0;
  if (logLine) Fail(p_, logLine);
}

void TPlateSolve::RunClient(std::vector<std::string> args) {
  client_.Start(SolveInterpreter(s_.interpreter), args, s_.clientFolder);
  clientActive_ = true;
}

void TPlateSolve::TimerTick() {
  timer_.stop();
  ++ticks_;
  // Time-out and abort end a running client and reset the job.
  const uint32_t elapsed = platform::TimeGetTime() - startTick_;
  if (p_.state != 0 && elapsed > timeoutMs_) {
    secondsLeft_ = 0;
    Reset("Timed out");
  } else {
    secondsLeft_ = int32_t((timeoutMs_ - std::min(elapsed, timeoutMs_)) / 1000);
  }
  if (abort_ && p_.state != 0) Reset("Aborted");
  abort_ = false;
  Advance();
  if (busy_) timer_.start();
}

void TPlateSolve::Advance() {
  if (!busy_) return;
  if (clientActive_) {
    if (client_.Running()) return;
    clientActive_ = false;
    const int32_t before = p_.state;
    if (!client_.StartError().empty()) {
      Fail(p_, "Can't run the client (" + SolveInterpreter(s_.interpreter) + "): " + client_.StartError());
      p_.subId = p_.jobId = -1;
      p_.state = 0;
    } else {
      ReadClientReply(p_, client_.Output());
    }
    // A new state asks at once; a pending one again ten ticks after the last question.
    if (p_.state != before) nextPoll_ = ticks_;
  }
  switch (p_.state) {
    case 1:
      solved_ = false;
      Log("Starting solve");
      Log("Saving image");
      if (!imageSaved_) {
        Reset("Can't save image");
        break;
      }
      Log("Uploading image to the local solver (solve-field)");
      RunClient(UploadArguments(s_, script_, s_.clientFolder + "solve_me.jpg"));
      break;
    case 2:
    case 3:
      if (int32_t(ticks_ - nextPoll_) < 0) break;
      nextPoll_ = ticks_ + 10;
      RunClient(p_.state == 2 ? SubmissionArguments(s_, script_, p_.subId) : JobArguments(s_, script_, p_.jobId));
      break;
    case 4:
      solved_ = true;
      p_.subId = p_.jobId = -1;
      p_.state = 0;
      break;
  }
  if (p_.state == 0 && !clientActive_) {
    busy_ = false;
    timer_.stop();
    if (OnDone) OnDone();
  }
}

}  // namespace imaging

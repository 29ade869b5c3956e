#include "imaging/plate_solve.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/text.h"
#include "imaging/jpeg_file.h"
#include "platform/numfmt.h"
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
    if (e == QProcess::FailedToStart) startError_ = process_->errorString().toStdString();
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

bool TRunAndCapture::Succeeded() const {
  return process_ && process_->state() == QProcess::NotRunning && startError_.empty() &&
         process_->exitStatus() == QProcess::NormalExit && process_->exitCode() == 0;
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

bool ParseUploadReply(const std::string& reply, std::string& status, int32_t& subId) {
  status.clear();
  subId = -1;
  const auto s = reply.find("u'status': ");
  if (s != std::string::npos) {
    // The value is quoted with a u prefix: u'success'.
    std::string v = reply.substr(s + 13, 10);
    status = v.substr(0, v.find("',"));
    status = status.substr(0, status.find('\''));
  }
  const std::string key = "u'subid': ";
  const auto k = reply.find(key);
  if (k == std::string::npos) return false;
  std::string v = reply.substr(k + key.size(), 10);
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
  std::string v = reply.substr(k + key.size(), 20);
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
  text = reply.substr(start, end == std::string::npos ? std::string::npos : end - start);
  return platform::ParseDouble(text, value);
}

// --- Command lines ---------------------------------------------------------------------

std::string DefaultSolveClient() {
  return (QCoreApplication::applicationDirPath() + "/solve_client.py").toStdString();
}

std::string SolveInterpreter(const std::string& setting) {
  if (TrimBlanks(setting).empty()) return "python3";
  QFileInfo info(QString::fromStdString(setting));
  if (info.isDir()) return QDir(info.filePath()).filePath("python3").toStdString();
  return setting;
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

// --- TPlateSolve ------------------------------------------------------------------------

TPlateSolve::TPlateSolve(const TPlateSolveSettings& settings, const TFitsHeader& header,
                         const platform::Bitmap& picture, int tickMs)
    : s_(settings), header_(header) {
  script_ = s_.clientScript.empty() ? DefaultSolveClient() : s_.clientScript;
  timeoutMs_ = uint32_t(std::max(1, s_.timeoutSeconds)) * 1000u;
  startTick_ = platform::TimeGetTime();
  secondsLeft_ = int32_t(timeoutMs_ / 1000);
  // The folder is made whole; the picture goes through a temporary file.
  imageSaved_ = !s_.clientFolder.empty() && QDir().mkpath(QString::fromStdString(s_.clientFolder)) &&
                SaveJpegFile(s_.clientFolder + "solve_me.jpg", picture, 95, true);
  timer_.setInterval(tickMs);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { TimerTick(); });
  timer_.start();
}

TPlateSolve::~TPlateSolve() {
  timer_.stop();
  client_.Stop(500);
}

void TPlateSolve::Reset(const char* logLine) {
  client_.Stop();
  clientActive_ = false;
  solved_ = false;
  subId_ = jobId_ = -1;
  state_ = 0;
  if (logLine) Log(logLine);
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
  if (state_ != 0 && elapsed > timeoutMs_) {
    secondsLeft_ = 0;
    Reset("Timed out");
  } else {
    secondsLeft_ = int32_t((timeoutMs_ - std::min(elapsed, timeoutMs_)) / 1000);
  }
  if (abort_ && state_ != 0) Reset("Aborted");
  abort_ = false;

  if (clientActive_) {
    if (!client_.Running()) {
      clientActive_ = false;
      Finish(client_.StartError().empty() ? client_.Output() : std::string());
    }
  } else {
    switch (state_) {
      case 0:
        break;
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
        if (ticks_ % 10 == 0) RunClient(SubmissionArguments(s_, script_, subId_));
        break;
      case 3:
        if (ticks_ % 10 == 0) RunClient(JobArguments(s_, script_, jobId_));
        break;
      case 4:
        solved_ = true;
        subId_ = jobId_ = -1;
        state_ = 0;
        break;
    }
  }
  if (state_ == 0 && !clientActive_) busy_ = false;
  if (busy_) timer_.start();
}

void TPlateSolve::Finish(const std::string& reply) {
  if (!client_.StartError().empty()) Log("Can't run the client: " + client_.StartError());
  switch (state_) {
    case 1: {
      std::string status;
      int32_t id = -1;
      if (ParseUploadReply(reply, status, id)) {
        subId_ = id;
        Log("Got Submission# " + std::to_string(id));
        resultReady_ = false;
        state_ = 2;
      } else {
        const auto e = reply.find("u'errormessage': u'");
        if (e != std::string::npos) Log(reply.substr(e + 19, reply.find('\'', e + 19) - (e + 19)));
        Log("Failed to submit job");
        state_ = 0;
      }
      break;
    }
    case 2: {
      const int32_t id = ParseSubmissionReply(reply);
      if (id < 0) {
        subId_ = -1;
        state_ = 0;
      } else if (id >= 1) {
        jobId_ = id;
        Log("Got Job# " + std::to_string(id));
        state_ = 3;
      }
      break;
    }
    case 3:
      if (!ParseJobStatus(reply)) {
        subId_ = jobId_ = -1;
        state_ = 0;
      } else if (resultReady_) {
        state_ = 4;
      }
      break;
  }
}

bool TPlateSolve::ParseJobStatus(const std::string& reply) {
  const std::string status = ReplyStatusLine(reply);
  if (status == "solving") return true;
  resultReady_ = true;
  if (status != "success") {
    Log("Plate solve failed ([" + status + "])");
    return false;
  }
  double ra = 0, dec = 0;
  bool found = false;
  std::string text;
  if (!ReplyNumber(reply, "u'dec': ", dec, found, text)) {
    Log(found ? "Dec failed: " + text : "Can't retrieve coordinates");
    return false;
  }
  if (!ReplyNumber(reply, "u'ra': ", ra, found, text)) {
    Log(found ? "RA failed: " + text : "Can't retrieve coordinates");
    return false;
  }
  ra2000_ = ra / kDegPerRad;
  dec2000_ = dec / kDegPerRad;
  Log("Solved, J2000.0 coordinates:");
  Log("R.A." + FormatRA_HMSs(ra2000_) + ", Dec " + FormatDMS(dec2000_));
  // Precessed to the date on a copy of the observer record.
  raDate_ = ra2000_;
  decDate_ = dec2000_;
  TObserverTime obs = ObserverTime;
  if (obs.PrecessionOn) {
    SetPrecession(obs, 2451545.0, obs.EpochTo);
    Precess(obs, raDate_, decDate_);
    raDate_ = std::fmod(raDate_, 2 * M_PI);
    if (raDate_ < 0) raDate_ += 2 * M_PI;
  }
  Log("Precessed to JNow: R.A." + FormatRA_HMSs(raDate_) + ", Dec " + FormatDMS(decDate_));
  return true;
}

}  // namespace imaging

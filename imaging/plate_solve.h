// One plate solve (TPlateSolve): the camera's picture saved as
// "solve_me.jpg" in the client folder, the client script run three times in
// turn (upload, submission status, job status) and its printed replies
// parsed, ending with the J2000 position of the field's centre and that
// position precessed to the date. The client is the program's own
// "solve_client.py" (installed next to the program), which solves on this
// machine with astrometry.net's solve-field.
//
// The client runs as a child process (TRunAndCapture) without blocking: its
// output is read while it runs, and it is ended at the job's deadline or on
// an abort. Everything runs on the GUI thread through the job's timer; the
// window polls busy, solved, seconds left and the solved position.
#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/fits.h"
#include "platform/bitmap.h"

namespace imaging {

// --- The child process ----------------------------------------------------------

// Runs one program with an argument list (no shell, so paths with blanks
// pass whole) and collects what it prints on standard output and standard
// error, read as it arrives. Start and Poll never wait.
class TRunAndCapture {
 public:
  TRunAndCapture();
  ~TRunAndCapture();
  TRunAndCapture(const TRunAndCapture&) = delete;
  TRunAndCapture& operator=(const TRunAndCapture&) = delete;

  // Starts `program` with `args` in `workDir`. False (with StartError set)
  // when it cannot be started; the start itself is checked at the next Poll.
  void Start(const std::string& program, const std::vector<std::string>& args,
             const std::string& workDir);
  // True while the child runs (or is starting).
  bool Running() const;
  // Empty unless the program could not be started or crashed.
  const std::string& StartError() const { return startError_; }
  // Everything printed so far (standard output and error merged; at most
  // 1 MiB is kept).
  const std::string& Output() const { return output_; }
  // Ends the child: SIGTERM (the client ends solve-field with it), then
  // SIGKILL when it has not ended after `graceMs`. Waits at most
  // graceMs + 1,000 ms in all.
  void Stop(int graceMs = 1000);
  // Called (from the event loop) when the child has ended or could not
  // start, with its output read to the end.
  std::function<void()> OnEnded;

 private:
  void Read();
  std::unique_ptr<QProcess> process_;
  std::string output_;
  std::string startError_;
};

// --- Reply parsing ----------------------------------------------------------------
// None of these throw, whatever the text: a reply that cannot be read is a
// failure of its step.

// Upload reply: "{u'status': u'success', u'subid': 12, ...}". True when the
// status is "success" and the submission number reads as an integer >= 0.
bool ParseUploadReply(const std::string& reply, std::string& status, int32_t& subId);
// Submission status reply: "{... u'jobs': [34], ...}". -1 when the key is
// missing or the list does not read as an integer (a failure), 0 while the
// list is empty, else the first job number.
int32_t ParseSubmissionReply(const std::string& reply);
// The reply's last non-empty line, stripped at both ends of line breaks,
// blanks and "[" (the job status word: "solving", "success", ...).
std::string ReplyStatusLine(const std::string& reply);
// The number after `key` up to the next "," or "}", read as a full signed
// float ("-12.5", "1.5e-05"). False when the key is missing (`found` false)
// or the text does not convert (`text` holds it).
bool ReplyNumber(const std::string& reply, const std::string& key, double& value, bool& found,
                 std::string& text);

// --- The job ------------------------------------------------------------------------

// Where a job stands: 0 idle, 1 upload, 2 wait for the job, 3 wait for the
// result, 4 solved; the submission and job numbers (-1: none) and, once
// solved, the J2000 position and the position of date (radians).
struct TSolveProgress {
  int32_t state = 1;
  int32_t subId = -1, jobId = -1;
  bool resultReady = false;
  double ra2000 = 0, dec2000 = 0, raDate = 0, decDate = 0;
  // The picture's field, degrees (0: not known).
  double fieldWidth = 0, fieldHeight = 0;
  // Why the job failed, for the window's status line (empty while it has
  // not failed).
  std::string failure;
};
// Takes the client's reply to the step of `p.state` and moves the job on
// (state 0 on a failure, each failure logged with the "[Plate-Solve] "
// prefix and its reason kept in `p.failure`). A solved position is precessed to the date of ObserverTime. A
// failed solve names the index files installed, and says so when the
// field is narrower than they solve.
void ReadClientReply(TSolveProgress& p, const std::string& reply);

// The chart's positions and the solver's: the chart's epoch is the date of
// ObserverTime when it precesses, else J2000. Radians; right ascension in
// [0, 2pi). The solver's index and its position hints are J2000.
void J2000ToChart(double& ra, double& dec);
void ChartToJ2000(double& ra, double& dec);

// Endpoints recorded by the client (no network is used): the first and the
// second server ("SuperNova").
inline constexpr const char* kSolveServer1 = "local://solve-field/nova";
inline constexpr const char* kSolveServer2 = "local://solve-field/supernova";

struct TPlateSolveSettings {
  std::string interpreter = "python3";  // a program, or a folder holding python3
  std::string apiKey;
  bool secondServer = false;
  double raHint = 0, decHint = 0;  // radians
  double radius = 5.0;             // degrees; 0 or less: no hints
  int32_t comparisonStars = 10;
  uint8_t parity = 0;              // 0 both, 1 negative, 2 positive
  int32_t timeoutSeconds = 60;
  double fieldWidth = 0, fieldHeight = 0;  // the picture's field, degrees (0: not known)
  // Where "solve_me.jpg" and the client's submissions go, ending in "/".
  // The client runs there; the job hands it absolute paths only (a
  // relative folder is taken within the current folder).
  std::string clientFolder;
  // The client script; empty: "solve_client.py" next to the program.
  std::string clientScript;
};

// The client script installed next to the program.
std::string DefaultSolveClient();
// The interpreter to start: the setting itself, "python3" within it when
// it names a folder; the system's /usr/bin/python3 (where it exists) when
// the setting is empty or the default "python3". A relative path (one with
// a "/") is made absolute: the client runs in a folder of its own.
std::string SolveInterpreter(const std::string& setting);

// The client's argument lists (after the interpreter), piece by piece as
// the job sends them. Numbers use the invariant format.
std::vector<std::string> UploadArguments(const TPlateSolveSettings& s, const std::string& script,
                                         const std::string& image);
std::vector<std::string> SubmissionArguments(const TPlateSolveSettings& s, const std::string& script,
                                             int32_t subId);
std::vector<std::string> JobArguments(const TPlateSolveSettings& s, const std::string& script,
                                      int32_t jobId);

class TPlateSolve : public QObject {
 public:
  // TPlateSolve.Create: copies the settings and the picture's header,
  // saves `picture` as "solve_me.jpg" in the client folder (created when
  // missing) and starts the timer (`tickMs`, 1,000 ms normally), which
  // counts the time-out down. Each client call follows the previous one's
  // end at once; a status that is still pending is asked again ten ticks
  // later. A picture that cannot be saved ends the job at the first tick,
  // logged "[Plate-Solve] Can't save image".
  TPlateSolve(const TPlateSolveSettings& settings, const TFitsHeader& header,
              const platform::Bitmap& picture, int tickMs = 1000);
  // TPlateSolve.Destroy: ends a running client.
  ~TPlateSolve() override;

  // Sets the abort flag: the next tick ends the client and resets the job.
  void Abort() { abort_ = true; }
  bool Busy() const { return busy_; }
  bool Solved() const { return solved_; }
  int32_t SecondsLeft() const { return secondsLeft_; }
  int32_t State() const { return p_.state; }
  // The solved J2000 position and the position of date (radians).
  double RaJ2000() const { return p_.ra2000; }
  double DecJ2000() const { return p_.dec2000; }
  double SolvedRA() const { return p_.raDate; }
  double SolvedDec() const { return p_.decDate; }
  const TFitsHeader& Header() const { return header_; }
  // Why the job ended without a solve (empty while it has not failed).
  const std::string& FailureText() const { return p_.failure; }
  // Called (from the job's own handlers) once the job is no longer busy.
  // The job may be freed only after the call has returned.
  std::function<void()> OnDone;

  // The job's tick (called by its timer; tests may call it).
  void TimerTick();

 private:
  void Reset(const char* logLine);
  // Takes a finished client's reply and starts the next client call when
  // one is due.
  void Advance();
  void RunClient(std::vector<std::string> args);

  TPlateSolveSettings s_;
  std::string script_;
  TFitsHeader header_;
  bool imageSaved_ = false;
  uint32_t ticks_ = 0;
  uint32_t nextPoll_ = 0;
  uint32_t startTick_ = 0;
  uint32_t timeoutMs_ = 0;
  int32_t secondsLeft_ = 0;
  bool abort_ = false;
  TSolveProgress p_;
  bool busy_ = true, solved_ = false;
  TRunAndCapture client_;
  bool clientActive_ = false;
  QTimer timer_;
};

}  // namespace imaging

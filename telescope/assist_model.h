// The goto-assist pointing model of TAssistForm1: seven terms (arcseconds)
// plus hour-angle and declination offsets per pier side, a grid of up to 40
// measured rows (mount and true position), an exhaustive grid-search fit,
// the settings, the text file, and ApplyModel, which corrects gotos, syncs
// and the chart's telescope marker.
//
// Model (terms in arcseconds; φ latitude, h hour angle, δ declination, p
// pier side -1 east, +1 west):
//   A = PZ + PD sin h sin δ,   B = PE + PD cos h sin δ
//   hour-angle term  = -A cos h tan δ + B sin h tan δ + p DO cos δ + TF cos φ sin h / cos δ
//   declination term =  A sin h + B cos h + DO sin δ - DF (cos φ cos h + sin φ tan δ)
//                       + TF (cos φ cos h - sin φ cos δ)
// FF takes part in the search and the settings but not in the terms. |δ| is
// taken at most 89.9° so that the terms stay finite near the pole.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Term order of the edits and settings.
enum TAssistTerm { kDO, kPD, kPZ, kPE, kFF, kTF, kDF, kTermCount };

struct TAssistTermSetting {
  std::string edit = "0";  // value, arcseconds
  int lower = -5;           // search range below the value, -10..0
  int upper = 5;            // search range above, 0..10
};

inline constexpr int kAssistRows = 40;
// The largest term or offset the model takes, arcseconds (10°); a larger
// one counts as unreadable (0). The largest camera field drawn, mm.
inline constexpr double kMaxAssistArcsec = 36000;
inline constexpr double kMaxAssistFieldMm = 1000;

// One parsed row of the fit: hour angles and declinations in radians.
struct TAssistRow {
  double haMount, decMount, haTrue, decTrue;
  int pier;  // -1 east, +1 west
};

// Everything the fit needs, copied from the window so that it runs on a worker.
struct TAssistFitInput {
  std::vector<TAssistRow> rows;
  double latitude = 0;  // radians
  double step = 60;     // arcseconds
  std::array<int, kTermCount> from{}, to{};  // search ranges in steps
  double hoE = 0, doE = 0, hoW = 0, doW = 0;  // offsets, arcseconds
};

struct TAssistFitResult {
  bool done = false;        // false when cancelled
  std::array<int, kTermCount> best{};  // in steps
  double sigma = 648000, maxHa = 0, maxDec = 0;  // arcseconds
  // (cos δ · Δh, Δd) in arcseconds per row, before and after the model.
  std::vector<std::pair<double, double>> before, after;
  std::vector<int> pier;
};

// The model's hour-angle and declination terms (radians) for terms in
// arcseconds times `scale`.
void AssistModelTerms(const std::array<double, kTermCount>& terms, double scale, double latitude, int pier,
                      double ha, double dec, double& haTerm, double& decTerm);

// The exhaustive search: every combination, nested DO, PD, PZ, PE, DF, TF,
// FF (outermost first); the first combination with the smallest σ wins.
// `cancel` is polled; `progress` (0..100) is called from the calling thread.
TAssistFitResult FitAssistModel(const TAssistFitInput& in, const std::atomic<bool>* cancel = nullptr,
                                std::atomic<int>* progress = nullptr);

class TAssistModel {
 public:
  TAssistModel();

  std::array<TAssistTermSetting, kTermCount> terms;
  std::string hoE = "0", doE = "0", hoW = "0", doW = "0";
  bool fine = false;
  std::string lst = "00:00:00";
  std::string mmX = "22", mmY = "16";
  bool x2 = false;
  double latitude = 0;  // the observer's latitude, radians
  // Grid cells: R/HA (mount), Dec (mount), R/HA (true), Dec (true), pier.
  std::array<std::array<std::string, 5>, kAssistRows> grid;
  std::string memo;
  TAssistFitResult last;  // the last completed fit (plots)

  // Corrections (radians) for pier side -1/+1 at hour angle and declination
  // (radians). False, with zero corrections, when the result is not finite.
  bool ApplyModel(int pier, double ha, double dec, double& dHa, double& dDec) const;

  // Rows filled before the first empty one.
  int RowCount() const;
  // Appends a measurement; false when the grid is full.
  bool AddRow(double lstRad, double mountRa, double mountDec, double trueRa, double trueDec, char pier);
  // Turns every row's right ascensions into hour angles (lst - value) and
  // sets lst to "00:00:00".
  void ConvertToHourAngles();
  void ClearAll();
  void ClearLast();
  // Moves filled rows up over empty ones.
  void CloseGaps();

  // Reads the grid and edits into a fit input; false with `error` when
  // fewer than two rows are usable or a cell does not parse.
  bool PrepareFit(TAssistFitInput& in, std::string& error) const;
  // Takes a finished fit: the edits receive the best values, the memo its
  // summary, the plots the rows.
  void TakeFit(const TAssistFitInput& in, const TAssistFitResult& r);

  // The text file.
  std::string SaveText() const;
  void LoadText(const std::string& text);
  // Registry section "ASSIST". Stored texts that are not what their field
  // takes read as its default: a term or offset beyond kMaxAssistArcsec, a
  // camera field not above 0 or beyond kMaxAssistFieldMm, a sidereal time
  // that is no time of 0 to 24 hours.
  void LoadSettings();
  void SaveSettings() const;
};

// The fit on a worker thread with progress and cancel. Start on the GUI
// thread, poll Done() from a timer, then Take the result.
class TAssistFitJob {
 public:
  ~TAssistFitJob();
  void Start(TAssistFitInput in);
  void Cancel() { cancel_ = true; }
  bool Running() const { return thread_.joinable() && !done_; }
  bool Done() const { return done_; }
  int Progress() const { return progress_; }
  // Joins the worker and hands over its result.
  TAssistFitResult Take();
  const TAssistFitInput& Input() const { return in_; }

 private:
  TAssistFitInput in_;
  TAssistFitResult result_;
  std::thread thread_;
  std::atomic<bool> cancel_{false}, done_{false};
  std::atomic<int> progress_{0};
};

// The time from the program's start to its first painted chart with stars,
// as the user sees it: starts the program (the command after "--") in the
// reference-data folder (bench_data.h), grabs the X screen every few
// milliseconds and reports when it first shows a star field, then ends the
// program with SIGTERM. Runs under an X server (see first_chart.sh).
//
//   first-chart-probe [--runs N] -- PROGRAM [ARGS...]
//   first-chart-probe --count PICTURE   (the star count of a picture)
//
// A star is a small bright spot: a pixel at least as bright as its eight
// neighbours, of luminance 150 or more, with every pixel three steps away
// (in the eight directions) less than half as bright. Lines, labels and the
// insets' rings give few of these; a chart with its stars gives thousands.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <signal.h>
#include <vector>

#include "bench/bench_data.h"

namespace {

// Spots that make a chart "with stars".
constexpr int kStarSpots = 400;
// How long a run waits for the stars.
constexpr int kTimeoutMs = 20000;

int Luma(QRgb p) { return (qRed(p) * 299 + qGreen(p) * 587 + qBlue(p) * 114) / 1000; }

int CountStarSpots(const QImage& picture) {
  const QImage img = picture.convertToFormat(QImage::Format_RGB32);
  const int w = img.width(), h = img.height();
  std::vector<uint8_t> y(std::size_t(w) * std::size_t(h));
  for (int r = 0; r < h; ++r) {
    const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(r));
    for (int c = 0; c < w; ++c) y[std::size_t(r) * w + c] = uint8_t(Luma(line[c]));
  }
  auto at = [&](int c, int r) { return int(y[std::size_t(r) * w + c]); };
  int spots = 0;
  for (int r = 3; r < h - 3; ++r)
    for (int c = 3; c < w - 3; ++c) {
      const int v = at(c, r);
      if (v < 150) continue;
      bool spot = true;
      for (int dr = -1; dr <= 1 && spot; ++dr)
        for (int dc = -1; dc <= 1 && spot; ++dc) spot = at(c + dc, r + dr) <= v;
      for (int dr = -3; dr <= 3 && spot; dr += 3)
        for (int dc = -3; dc <= 3 && spot; dc += 3)
          if (dr || dc) spot = 2 * at(c + dc, r + dr) < v;
      // A flat-topped spot counts once: its first brightest pixel.
      if (spot && (at(c - 1, r) == v || at(c, r - 1) == v || at(c - 1, r - 1) == v || at(c + 1, r - 1) == v))
        spot = false;
      spots += spot;
    }
  return spots;
}

// One run: milliseconds from the start to the first screen with stars, -1
// when none came.
int TimeToStars(const QString& program, const QStringList& args) {
  QScreen* screen = QGuiApplication::primaryScreen();
  QProcess p;
  p.setWorkingDirectory(QString::fromStdString(BenchDataFolder()));
  p.setProcessChannelMode(QProcess::ForwardedChannels);
  QElapsedTimer t;
  t.start();
  p.start(program, args);
  int found = -1;
  while (t.elapsed() < kTimeoutMs && p.state() != QProcess::NotRunning) {
    const qint64 at = t.elapsed();
    if (CountStarSpots(screen->grabWindow(0).toImage()) >= kStarSpots) {
      // The grab began at `at`: the stars were on the screen by then.
      found = int(at);
      break;
    }
    QThread::msleep(5);
  }
  ::kill(pid_t(p.processId()), SIGTERM);
  if (!p.waitForFinished(10000)) p.kill();
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList a = QCoreApplication::arguments();
  if (a.size() == 3 && a[1] == QStringLiteral("--count")) {
    std::printf("%d star spots\n", CountStarSpots(QImage(a[2])));
    return 0;
  }
  int runs = 5;
  const qsizetype dashes = a.indexOf(QStringLiteral("--"));
  if (dashes < 0 || dashes + 1 >= a.size()) {
    std::fprintf(stderr, "usage: first-chart-probe [--runs N] -- PROGRAM [ARGS...]\n");
    return 2;
  }
  if (a.size() > 2 && a[1] == QStringLiteral("--runs")) runs = std::max(1, a[2].toInt());
  std::vector<int> times;
  for (int i = 0; i < runs; ++i) {
    const int ms = TimeToStars(a[dashes + 1], a.mid(dashes + 2));
    std::printf("run %d: %s\n", i + 1, ms < 0 ? "no chart with stars" : (std::to_string(ms) + " ms").c_str());
    std::fflush(stdout);
    if (ms >= 0) times.push_back(ms);
  }
  if (times.empty()) return 1;
  std::sort(times.begin(), times.end());
  std::printf("first chart with stars: median %d ms (%zu runs, %d..%d ms)\n", times[times.size() / 2], times.size(),
              times.front(), times.back());
  return 0;
}

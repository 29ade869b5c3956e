// How soon a plate solve answers: the camera simulator's default field
// (Tycho-2 stars of the reference data) saved as a JPEG, solved once by
// solve-field alone (the client's own command) and once by the whole job
// (upload, submission status, job status through solve_client.py), timed
// from the start to the answer. The job's time over solve-field's is the
// overhead a user waits for; the target is under a second.
//
//   NOCTRA_REFDATA=<data folder> build/bench/plate_solve_bench
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>

#include "bench_data.h"
#include "astro/observer.h"
#include "catalog/stars.h"
#include "imaging/camera_sim.h"
#include "imaging/jpeg_file.h"
#include "imaging/plate_solve.h"

using namespace imaging;

namespace {

// Praesepe's neighbourhood (J2000, radians).
constexpr double kRa = 127.5 * M_PI / 180.0, kDec = 21.0 * M_PI / 180.0;

struct Scene {
  QTemporaryDir dir;
  std::string picture;
  platform::Bitmap bitmap;
  bool ready = false;
  Scene() {
    TStarLoadJob load;
    load.tychoPath = BenchDataFolder() + "tycho2.dat";
    InitObserver(load.observer);
    TychoStars = ConvertTychoCatalog(load);
    if (TychoStars.empty()) return;
    // A 2 s exposure of the default simulator, stretched into 8 bits.
    TSimCamera camera;
    const std::vector<int32_t> counts = camera.RenderField(kRa, kDec, 2.0);
    std::vector<int32_t> sorted = counts;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double sky = sorted[sorted.size() / 2];
    const int w = camera.Config().width, h = camera.Config().height;
    bitmap = platform::Bitmap(w, h);
    platform::Bitmap& bmp = bitmap;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double v = std::clamp((counts[std::size_t(y) * w + x] - sky + 50) / 4000.0 * 255, 0.0, 255.0);
        const auto g = uint8_t(v);
        bmp.SetPixel(x, y, platform::MakePixel(g, g, g));
      }
    picture = dir.filePath("field.jpg").toStdString();
    ready = SaveJpegFile(picture, bmp, 95, true);
  }
};

Scene& TheScene() {
  static Scene s;
  return s;
}

// solve-field alone, with the client's options and the same hints.
void BM_SolveFieldAlone(benchmark::State& state) {
  Scene& s = TheScene();
  if (!s.ready) return state.SkipWithError("reference data (tycho2.dat) not found");
  for (auto _ : state) {
    QTemporaryDir out;
    const QStringList args = {"--no-plots", "--overwrite", "--dir", out.path(), "--new-fits", "none", "--corr", "none",
                              "--rdls", "none", "--match", "none", "--index-xyls", "none", "--cpulimit", "600",
                              "--ra", "127.5", "--dec", "21", "--radius", "5", QString::fromStdString(s.picture)};
    QProcess p;
    p.start("solve-field", args);
    p.waitForFinished(600000);
    if (!QFileInfo::exists(out.filePath("field.solved"))) state.SkipWithError("solve-field did not solve the field");
  }
}

// The whole job, from its creation to the answer.
void BM_PlateSolveJob(benchmark::State& state) {
  Scene& s = TheScene();
  if (!s.ready) return state.SkipWithError("reference data (tycho2.dat) not found");
  for (auto _ : state) {
    QTemporaryDir client;
    TPlateSolveSettings set;
    set.clientFolder = client.path().toStdString() + "/";
    set.clientScript = NOCTRA_SOLVE_CLIENT;
    set.timeoutSeconds = 600;
    set.raHint = kRa;
    set.decHint = kDec;
    set.radius = 5;
    TPlateSolve job(set, TFitsHeader{}, s.bitmap);
    while (job.Busy()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(2);
    }
    if (!job.Solved()) state.SkipWithError("the job did not solve the field");
  }
}

BENCHMARK(BM_SolveFieldAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PlateSolveJob)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#include "tests/support/test_support.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/timezone.h"

namespace testing_support {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "noctra-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = tmpl + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> b = ReadFile(path);
  return std::string(b.begin(), b.end());
}

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find("\r\n", at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : name_(name) {
  if (const char* v = std::getenv(name.c_str())) {
    had_ = true;
    old_ = v;
  }
  ::setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    ::setenv(name_.c_str(), old_.c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::string& folder)
    : old_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(folder);
}

ScopedCurrentFolder::~ScopedCurrentFolder() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
}

FileSizeLimit::FileSizeLimit(std::size_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the test
  rlimit r{};
  ::getrlimit(RLIMIT_FSIZE, &r);
  old = r.rlim_cur;
  r.rlim_cur = rlim_t(bytes);
  if (::setrlimit(RLIMIT_FSIZE, &r) != 0) throw std::runtime_error("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit() {
  const rlimit r{rlim_t(old), RLIM_INFINITY};
  ::setrlimit(RLIMIT_FSIZE, &r);
}

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool UnderCI() {
  const char* v = std::getenv("NOCTRA_CI");
  return v != nullptr && *v != '\0' && std::string(v) != "0";
}

bool HaveSolveField() {
  const char* named = std::getenv("NOCTRA_SOLVE_FIELD");
  const QString path = named && *named ? QString::fromLocal8Bit(named) : QStandardPaths::findExecutable("solve-field");
  return !path.isEmpty() && QFileInfo(path).isExecutable();
}

bool HaveTycho2Index() { return std::filesystem::exists("/usr/share/astrometry/index-tycho2-10.littleendian.fits"); }

bool HavePoppler() {
  return !QStandardPaths::findExecutable("pdftotext").isEmpty() && !QStandardPaths::findExecutable("pdftoppm").isEmpty();
}

QImage PdfFirstPage(const std::string& pdf, int dpi) {
  const QString prefix = QString::fromStdString(pdf) + QStringLiteral("-page");
  QProcess p;
  p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                                       QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                       QStringLiteral("-png"), QString::fromStdString(pdf), prefix});
  p.waitForFinished(20000);
  return QImage(prefix + QStringLiteral("-1.png"));
}

void PinSuiteClock() { platform::SetSystemClockForTest(kSuiteClockUnixSeconds); }

ScopedClock::ScopedClock(double unixSeconds) { platform::SetSystemClockForTest(unixSeconds); }

ScopedClock::~ScopedClock() { PinSuiteClock(); }

}  // namespace testing_support

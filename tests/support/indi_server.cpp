#include "tests/support/indi_server.h"

#include <QStandardPaths>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/gui_thread.h"

namespace testing_support {

namespace {

// A loopback port nobody listens on at the moment.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    platform::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool HaveIndi(const QStringList& drivers) {
  if (QStandardPaths::findExecutable("indiserver").isEmpty()) return false;
  for (const QString& exe : drivers)
    if (QStandardPaths::findExecutable(exe).isEmpty()) return false;
  return true;
}

bool IndiServer::Start() {
  port = FreePort();
  const QString socket = QString("/tmp/noctra-indi-%1-%2").arg(::getpid()).arg(port);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(home_.Path()));
  env.remove("INDICONFIG");
  server_.setProcessEnvironment(env);
  server_.start("indiserver", options_ + QStringList{"-p", QString::number(port), "-u", socket} + drivers_);
  if (!server_.waitForStarted(kWaitMs)) return false;
  return WaitUntil([&] { return Accepts(port); }, kWaitMs / 1000.0);
}

std::vector<qint64> IndiServer::DriverPids() const {
  std::vector<qint64> out;
  const qint64 server = Pid();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    // /proc/<pid>/stat: "pid (command) state ppid ..."; the command may
    // hold blanks and parentheses, so the fields are read after its last ')'.
    const std::string stat = ReadText(entry.path().string() + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    qint64 parent = 0;
    if (fields >> state >> parent && parent == server) out.push_back(std::stoll(name));
  }
  return out;
}

qint64 IndiServer::DriverPid(const std::string& program) const {
  for (const qint64 pid : DriverPids()) {
    // /proc/<pid>/cmdline: the arguments, each ended by a NUL.
    const std::string args = ReadText("/proc/" + std::to_string(pid) + "/cmdline");
    if (args.substr(0, args.find('\0')) == program) return pid;
  }
  return 0;
}

void IndiServer::Stop() {
  if (server_.state() == QProcess::NotRunning) return;
  server_.terminate();
  if (!server_.waitForFinished(5000)) {
    server_.kill();
    server_.waitForFinished(2000);
  }
}

Stopped::Stopped(qint64 pid) : pid_(pid), done_(pid > 0 && ::kill(pid_t(pid), SIGSTOP) == 0) {}

void Stopped::Continue() {
  if (done_) ::kill(pid_t(pid_), SIGCONT);
  done_ = false;
}

}  // namespace testing_support

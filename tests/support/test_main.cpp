// Test main: a QApplication on the offscreen platform (so fonts, images and
// widgets work without a display), a private settings folder for each test,
// and a program exit that throws instead of ending the test run, and the
// program's clock set to the suite's fixed instant.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <cstdlib>
#include <memory>

#include "platform/halt.h"
#include "tests/support/test_support.h"

#if defined(__SANITIZE_THREAD__)
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdarg>

// ThreadSanitizer: the program's own code is instrumented, Qt, libindiclient
// and the C++ runtime are not. Their internal hand-overs (Qt's futex-based
// mutexes, its thread pools, the network thread) are invisible, so the
// memory calls they make (malloc, free, memcpy) are not checked either; our
// code's accesses and every synchronisation stay checked. TSAN_OPTIONS may
// set more.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }

// QProcess starts its children with clone(CLONE_VM | CLONE_VFORK): the child
// runs on the parent thread's memory until it executes the program.
// ThreadSanitizer's clone interceptor treats every clone as a fork and, in
// the child, switches the thread into the ignore mode of a child forked
// from a threaded process; sharing the memory, the parent thread stays in
// it, and from then on its locks are not seen (every later hand-over of a
// test that started a process reads as a data race). A child that shares
// the memory therefore bypasses the interceptor; any other clone goes
// through it.
extern "C" int __clone(int (*fn)(void*), void* stack, int flags, void* arg, ...);
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
  va_list rest;
  va_start(rest, arg);
  pid_t* parentTid = va_arg(rest, pid_t*);
  void* tls = va_arg(rest, void*);
  pid_t* childTid = va_arg(rest, pid_t*);
  va_end(rest);
  if (flags & CLONE_VM) return __clone(fn, stack, flags, arg, parentTid, tls, childTid);
  using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
  static const Clone intercepted = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
  return intercepted(fn, stack, flags, arg, parentTid, tls, childTid);
}
#endif

namespace {

// Each test stores its settings in a folder of its own, made before the
// test's fixture and removed after it: what one test stores is never read
// by another, in whatever order they run in one process.
class PrivateSettingsForEachTest : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    folder_ = std::make_unique<testing_support::TempDir>();
    config_ = std::make_unique<testing_support::ScopedEnv>("XDG_CONFIG_HOME", folder_->Path());
  }
  void OnTestEnd(const testing::TestInfo&) override {
    config_.reset();
    folder_.reset();
  }
  std::unique_ptr<testing_support::TempDir> folder_;
  std::unique_ptr<testing_support::ScopedEnv> config_;
};

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing_support::TempDir config;
  ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(config.Path()));
  QApplication app(argc, argv);
  platform::InstallThrowingHaltForTest();
  // Every test reads one fixed instant unless it sets its own.
  testing_support::PinSuiteClock();
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new PrivateSettingsForEachTest);
  return RUN_ALL_TESTS();
}

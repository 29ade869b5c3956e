// A named pipe made in a file's place, watched for readers: the watch keeps
// trying to open the pipe's writing end without waiting, which succeeds only
// while someone has it open for reading. A reader found is noted and let go
// at once (closing the writing end gives it the end of the file), so that a
// reader that would wait on the pipe for ever fails the test instead of
// holding it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <gtest/gtest.h>

class PipeInPlace {
 public:
  explicit PipeInPlace(std::string path) : path_(std::move(path)) {
    std::remove(path_.c_str());
    if (::mkfifo(path_.c_str(), 0600) != 0) ADD_FAILURE() << "no pipe could be made at " << path_;
    watch_ = std::thread([this] {
      while (!stop_) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          opened_ = true;
          ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  ~PipeInPlace() {
    stop_ = true;
    watch_.join();
    std::remove(path_.c_str());
  }
  PipeInPlace(const PipeInPlace&) = delete;
  PipeInPlace& operator=(const PipeInPlace&) = delete;

  // True once anyone opened the pipe for reading.
  bool Opened() const { return opened_; }

 private:
  std::string path_;
  std::atomic<bool> stop_{false}, opened_{false};
  std::thread watch_;
};

// A named pipe made in a file's place with a reader held on it, so that a
// writer never waits for one: afterwards it tells whether anyone opened it
// for writing meanwhile (the kernel marks the reading end hung up once a
// writer has come and gone, and readable once one has written).
class PipeWatchedForWriters {
 public:
  explicit PipeWatchedForWriters(std::string path) : path_(std::move(path)) {
    std::remove(path_.c_str());
    if (::mkfifo(path_.c_str(), 0600) != 0) ADD_FAILURE() << "no pipe could be made at " << path_;
    reader_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  ~PipeWatchedForWriters() {
    if (reader_ >= 0) ::close(reader_);
    std::remove(path_.c_str());
  }
  PipeWatchedForWriters(const PipeWatchedForWriters&) = delete;
  PipeWatchedForWriters& operator=(const PipeWatchedForWriters&) = delete;

  // True once anyone opened the pipe for writing and let it go, or wrote.
  bool Written() const {
    pollfd p{reader_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) != 0;
  }

 private:
  std::string path_;
  int reader_ = -1;
};

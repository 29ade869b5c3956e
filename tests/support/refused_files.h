// Files the system refuses this user, as a file of mode 000 or one of
// another owner is refused to its reader: while an object lives, the
// program's file openers (platform/data_file.h) refuse its paths with
// "Permission denied". The tests run as root, whom the system refuses
// nothing; where they do not, the real modes are tried too.
#pragma once

#include <set>
#include <string>

#include "platform/data_file.h"

class RefusedFiles {
 public:
  explicit RefusedFiles(std::set<std::string> paths) {
    platform::RefuseDataFilesForTest([paths = std::move(paths)](const std::string& p) { return paths.count(p) != 0; });
  }
  ~RefusedFiles() { platform::RefuseDataFilesForTest({}); }
  RefusedFiles(const RefusedFiles&) = delete;
  RefusedFiles& operator=(const RefusedFiles&) = delete;
};

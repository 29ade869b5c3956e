// While it lives, the program's file openers (platform/data_file.h) refuse
// these paths as the system refuses a file of mode 000 to a user who may
// not read it: the tests run as root, whom the system refuses nothing.
#pragma once

#include <set>
#include <string>

#include "platform/data_file.h"

struct RefusedFiles {
  explicit RefusedFiles(std::set<std::string> paths) {
    platform::RefuseDataFilesForTest([paths = std::move(paths)](const std::string& p) { return paths.count(p) != 0; });
  }
  ~RefusedFiles() { platform::RefuseDataFilesForTest({}); }
};

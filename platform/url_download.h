// Download of a URL to a file (Qt Network). The body is written to a
// temporary file in the target's folder; the target is replaced only when
// the transfer ended with an HTTP success status and the caller's check of
// the temporary file passed, so a failed, refused or timed-out download
// never touches an existing file.
//
// The call runs a local event loop until the transfer ends: the GUI thread
// keeps handling events meanwhile, and callers disable what must not run
// during a download.
#pragma once

#include <functional>
#include <string>

namespace platform {

struct DownloadResult {
  bool ok = false;
  int httpStatus = 0;  // 0 when no HTTP answer came
  std::string error;   // why it failed, for the user
};

// `accept` (optional) gets the temporary file's path and decides whether
// its contents may replace the target.
DownloadResult DownloadUrlToFile(const std::string& url, const std::string& fileName, int timeoutMs,
                                 const std::function<bool(const std::string& tempPath)>& accept = {});

}  // namespace platform

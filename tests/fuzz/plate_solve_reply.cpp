// Fuzz target: the plate-solve client's printed output, read as the reply
// of each step of the job (upload, submission status, job status) and by
// the parsers one by one. A solved reply goes on through the precession of
// the position to the date.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/plate_solve.h"
#include "shell/log_lines.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string reply(reinterpret_cast<const char*>(data), size);
  for (int32_t state = 1; state <= 3; ++state) {
    imaging::TSolveProgress p;
    p.state = state;
    imaging::ReadClientReply(p, reply);
  }
  std::string status;
  int32_t id = 0;
  imaging::ParseUploadReply(reply, status, id);
  imaging::ParseSubmissionReply(reply);
  double v = 0;
  bool found = false;
  std::string text;
  imaging::ReplyNumber(reply, "u'ra': ", v, found, text);
  LogLines().Clear();
  return 0;
}

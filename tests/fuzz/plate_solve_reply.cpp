// Fuzz target: the plate-solve client's printed output as the reply of
// each step of the job (upload, submission status, job status, and on to
// the precession of a solved position), and to the number reader alone.
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
  double v = 0;
  bool found = false;
  std::string text;
  imaging::ReplyNumber(reply, "u'ra': ", v, found, text);
  LogLines().Clear();
  return 0;
}

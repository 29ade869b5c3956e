#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

void SetCurrentThreadLowestPriority() {
  // Linux keeps a nice value per thread: PRIO_PROCESS with the thread's id
  // changes only this thread. A failure leaves the priority as it was.
  const id_t tid = static_cast<id_t>(::syscall(SYS_gettid));
  (void)::setpriority(PRIO_PROCESS, tid, 19);
}

}  // namespace platform

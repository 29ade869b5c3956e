// Scheduling priority of worker threads.
#pragma once

namespace platform {

// Lowers the calling thread to the lowest priority an ordinary program may
// give itself (nice 19 on Linux), for background work such as the star
// catalogue conversion, so the GUI thread and the chart stay smooth. The
// thread keeps that priority until it ends.
void SetCurrentThreadLowestPriority();

}  // namespace platform

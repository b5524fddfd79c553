#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace morvane {

void lowerThisThreadPriority(int steps) {
    // On Linux the nice value belongs to the thread: PRIO_PROCESS with a thread id leaves the
    // rest of the process alone.
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, self);
    if (current == -1 && errno != 0) {
        return;
    }
    setpriority(PRIO_PROCESS, self, current + steps);
}

}  // namespace morvane

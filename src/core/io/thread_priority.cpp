#include "core/io/thread_priority.h"

#include <pthread.h>
#include <sched.h>

namespace quillet {

void lowerCurrentThreadToIdle() {
  sched_param param{};
  param.sched_priority = 0;
#if defined(SCHED_IDLE)
  if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0) {
    return;
  }
#endif
  // Without SCHED_IDLE: the lowest priority of the thread's own policy.
  int policy = 0;
  if (pthread_getschedparam(pthread_self(), &policy, &param) == 0) {
    param.sched_priority = sched_get_priority_min(policy);
    pthread_setschedparam(pthread_self(), policy, &param);
  }
}

}  // namespace quillet

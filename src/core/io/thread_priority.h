#pragma once
// Thread priorities, best effort: a priority the system refuses is ignored.

namespace quillet {

// Lets the calling thread run only when nothing else wants the processor (SCHED_IDLE where the
// system has it, else the lowest nice value of its scheduling class).
void lowerCurrentThreadToIdle();

}  // namespace quillet

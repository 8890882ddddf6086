#pragma once

namespace parlomax::realtime {

// How the calling thread came to run.
enum class Scheduling {
  Realtime,  // real-time round robin, set by the process itself
  Granted,   // real-time, granted by the desktop's RealtimeKit service
  Niced,     // neither was allowed: the highest ordinary priority it may have
};

// Makes the calling thread time-critical, as far as this system lets a
// program: real-time scheduling when the process may set it, else from
// RealtimeKit over D-Bus (as sound servers' clients ask for it), else the
// highest ordinary priority allowed. It never fails loudly: a thread that
// gets nothing runs as before. A thread given real time must wait regularly:
// the kernel keeps other programs a share of the processor, and a process
// granted real time by RealtimeKit is ended if such a thread runs 200 ms of
// CPU without waiting (the kit's condition).
Scheduling MakeThisThreadTimeCritical();

// A declared seam for the benchmark that measures what this is worth:
// false makes MakeThisThreadTimeCritical() change nothing, as for a user
// whom the system grants nothing (most desktops refuse an ordinary user a
// higher priority, and only RealtimeKit gives real time).
void AllowPriorityChanges(bool allowed);

}  // namespace parlomax::realtime

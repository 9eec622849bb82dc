#pragma once
// Real-time scheduling for the thread that renders audio, so that busy processes on the
// machine cannot make it late for the sound server.

#include <string>

#include <sys/types.h>

namespace tunescrib {

struct RealtimeGrant {
    bool granted = false;
    std::string how; // what was granted and by whom, or why the thread stays at normal priority
};

// Main thread. Gives thread `thread` of this process round-robin real-time scheduling at
// `priority` (at most what the system allows): directly where the process may (root, or
// within RLIMIT_RTPRIO), otherwise through RealtimeKit on the system bus, as desktop sound
// clients do. Leaves the thread as it is when neither allows it. Never throws; waits at
// most half a second for RealtimeKit.
RealtimeGrant makeThreadRealtime(pid_t thread, int priority);

} // namespace tunescrib

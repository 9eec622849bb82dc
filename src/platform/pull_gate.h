#pragma once
// Pause and resume for a backend whose own thread pulls blocks in a loop (a blocking
// write per block): the thread waits at the start of its next block, so that the block
// that asked for rest is played and no stale block comes before the note that wakes it.

#include <condition_variable>
#include <mutex>

namespace tunescrib {

class PullGate {
public:
    // Any thread; never waits longer than the gate's own short lock.
    void pause();
    void resume();
    // Any thread: a waiting stream thread leaves and pulls no more.
    void close();
    // Stream thread, before every block: waits while paused. False once closed.
    bool waitWhilePaused();

private:
    std::mutex lock;
    std::condition_variable changed;
    bool paused = false; // guarded by lock
    bool closed = false; // guarded by lock
};

} // namespace tunescrib

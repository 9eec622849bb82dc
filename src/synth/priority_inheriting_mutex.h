#pragma once
// A mutex that lends its holder the priority of whoever waits for it. The renderer may run
// under real-time scheduling; when it waits for a control operation of the main thread, an
// ordinary mutex would leave that operation to be preempted by every busy process in
// between, and the block would come late.

#include <pthread.h>

#include <mutex> // std::lock_guard, with which it is used

namespace tunescrib {

// BasicLockable, for std::lock_guard and std::unique_lock. Not recursive.
class PriorityInheritingMutex {
public:
    PriorityInheritingMutex() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
        pthread_mutex_init(&mutex, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~PriorityInheritingMutex() { pthread_mutex_destroy(&mutex); }
    PriorityInheritingMutex(const PriorityInheritingMutex&) = delete;
    PriorityInheritingMutex& operator=(const PriorityInheritingMutex&) = delete;

    void lock() { pthread_mutex_lock(&mutex); }
    void unlock() { pthread_mutex_unlock(&mutex); }

private:
    pthread_mutex_t mutex{};
};

} // namespace tunescrib

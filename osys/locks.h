// Lock types of the class library.
//   MUTEXSEM - system mutex, optionally named, recursive for its owning thread
//   EVENTSEM - manual-reset event
//   CRITSECT - process-local recursive lock (a critical section)
// MUTEXHOLD and CRITSECTHOLD keep one of them for the length of a scope.
#pragma once

#include <atomic>
#include <memory>

struct _RTL_CRITICAL_SECTION;

class MUTEXSEM {
public:
    explicit MUTEXSEM(bool initiallyOwned = false, const char* name = nullptr);
    ~MUTEXSEM();
    MUTEXSEM(const MUTEXSEM&) = delete;
    MUTEXSEM& operator=(const MUTEXSEM&) = delete;

    // True only when the mutex was acquired (an abandoned mutex is not); -1 waits without limit.
    // With a message thread set, a wait on that thread is a WinObtain.
    bool Obtain(int timeout = -1);
    // Waits while dispatching the calling thread's window messages, so that its windows stay
    // answered; false when there is no handle or the mutex was not acquired.
    bool WinObtain(int timeout = -1);
    void Release();

    void* hmux = nullptr;            // the mutex handle
    unsigned long MessageThread = 0; // thread whose waits keep dispatching window messages; 0 none

private:
    // Waits for the mutex (with pumpMessages through the message-pumping wait).
    bool Acquire(int timeout, bool pumpMessages);

    // A thread that already owns the mutex takes it again without a trip to the system:
    // every container operation nests inside others, and each system wait is costly.
    std::atomic<unsigned long> owner{0};
    int depth = 0; // nesting of the owner; touched by the owning thread only
};

class EVENTSEM {
public:
    explicit EVENTSEM(bool initiallySet = false);
    ~EVENTSEM();
    EVENTSEM(const EVENTSEM&) = delete;
    EVENTSEM& operator=(const EVENTSEM&) = delete;

    void Set();
    void Reset();
    // True only when the event is set within the timeout (-1 waits without limit).
    bool Wait(int timeout = -1);

    void* hev = nullptr; // the event handle
};

class CRITSECT {
public:
    CRITSECT();
    ~CRITSECT();
    CRITSECT(const CRITSECT&) = delete;
    CRITSECT& operator=(const CRITSECT&) = delete;

    void Enter();
    void Leave();

    std::unique_ptr<_RTL_CRITICAL_SECTION> pCritSect;
};

// Obtains a MUTEXSEM (without time limit) for one scope; releases it only when obtained.
class MUTEXHOLD {
public:
    explicit MUTEXHOLD(MUTEXSEM* lock) : lock(lock), held(lock && lock->Obtain(-1)) {}
    ~MUTEXHOLD()
    {
        if (held)
            lock->Release();
    }
    MUTEXHOLD(const MUTEXHOLD&) = delete;
    MUTEXHOLD& operator=(const MUTEXHOLD&) = delete;

private:
    MUTEXSEM* lock;
    bool held;
};

class CRITSECTHOLD {
public:
    explicit CRITSECTHOLD(CRITSECT& lock) : lock(lock) { lock.Enter(); }
    ~CRITSECTHOLD() { lock.Leave(); }
    CRITSECTHOLD(const CRITSECTHOLD&) = delete;
    CRITSECTHOLD& operator=(const CRITSECTHOLD&) = delete;

private:
    CRITSECT& lock;
};

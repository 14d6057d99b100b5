// Locks of the player core. A_LOCKER is the lock interface; CS_LOCKER is recursive like a
// critical section, because the player server re-enters the core from a notification
// handler on the thread that already holds the lock.
#pragma once

#include <mutex>

class A_LOCKER
{
public:
    virtual ~A_LOCKER();
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

class CS_LOCKER : public A_LOCKER
{
public:
    CS_LOCKER() = default;
    CS_LOCKER(const CS_LOCKER&) = delete;
    CS_LOCKER& operator=(const CS_LOCKER&) = delete;
    ~CS_LOCKER() override;

    void Lock() override { mutex_.lock(); }
    void Unlock() override { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

// Holds a lock for a scope.
class LOCK_GUARD
{
public:
    explicit LOCK_GUARD(A_LOCKER& locker) : locker_(locker) { locker_.Lock(); }
    ~LOCK_GUARD() { locker_.Unlock(); }
    LOCK_GUARD(const LOCK_GUARD&) = delete;
    LOCK_GUARD& operator=(const LOCK_GUARD&) = delete;

private:
    A_LOCKER& locker_;
};

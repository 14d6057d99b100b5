// A class with a thread of its own. The derived class supplies MainThread, which loops until
// the terminate flag is set and pauses with ThreadWait, which returns at once when Stop or
// SetTermFlag(true) signals the end:
//
//     unsigned int MainThread() override
//     {
//         while (!GetTermFlag()) { DoCycle(); ThreadWait(10); }
//         return 0;
//     }
//
// A derived class must call Stop in its own destructor: once it is gone its MainThread can
// no longer run (the base destructor stops a running thread only as a last resort).
// An exception escaping MainThread is journalled as an error and ends the thread with exit
// code 0xFFFFFFFF instead of ending the process.
#pragma once

#include "basix/cl_info.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class THREAD_CLASS : public CL_INFO
{
public:
    enum WAIT_RESULT
    {
        WAIT_TIMEOUT_ELAPSED = 0, // the full time passed
        WAIT_TERMINATE = 1        // the terminate flag is (or became) set
    };

    // `name` names the thread (the first 15 bytes show in ps/top); `instanceName`, when not
    // empty, is added to it in journal lines.
    THREAD_CLASS(const char* name, const char* instanceName);
    ~THREAD_CLASS() override;
    THREAD_CLASS(const THREAD_CLASS&) = delete;
    THREAD_CLASS& operator=(const THREAD_CLASS&) = delete;

    // Clears the terminate flag and runs MainThread on a new thread. LOGIC_ERROR when the
    // thread is running already.
    void Start();
    // Sets the terminate flag, wakes ThreadWait and returns when MainThread has ended. Does
    // nothing when no thread runs; LOGIC_ERROR when called from the thread itself.
    void Stop();
    void SetTermFlag(bool value);
    bool GetTermFlag() const { return term_.load(); }
    // Waits `ms` milliseconds or until the terminate flag is set.
    WAIT_RESULT ThreadWait(unsigned int ms);

    bool IsRunning() const { return running_.load(); }
    // What the last MainThread returned (0xFFFFFFFF after an escaped exception).
    unsigned int ExitCode() const { return exitCode_.load(); }
    const std::string& Name() const { return name_; }

protected:
    virtual unsigned int MainThread() = 0;

private:
    void Run();

    const std::string name_;
    const std::string instanceName_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> term_{false};
    std::atomic<bool> running_{false};
    // Set by the body's thread itself: the std::thread object may not be assigned yet when
    // the body first runs.
    std::atomic<std::thread::id> bodyThread_{};
    std::atomic<unsigned int> exitCode_{0};
};

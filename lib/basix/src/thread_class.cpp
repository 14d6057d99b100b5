#include "basix/thread_class.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"

#include <chrono>
#include <pthread.h>

THREAD_CLASS::THREAD_CLASS(const char* name, const char* instanceName)
    : name_(name ? name : ""), instanceName_(instanceName ? instanceName : "")
{
}

THREAD_CLASS::~THREAD_CLASS()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
    {
        SetTermFlag(true);
        thread_.join();
    }
    else if (thread_.joinable())
        thread_.detach(); // destroyed by its own thread: nobody is left to join it
}

void THREAD_CLASS::Start()
{
    if (thread_.joinable())
    {
        if (running_.load()) throw LOGIC_ERROR(DEBUG_INFO("THREAD_CLASS::Start: already running"));
        thread_.join(); // the body ended on its own; collect it before starting anew
    }
    SetTermFlag(false);
    running_.store(true);
    try
    {
        thread_ = std::thread(&THREAD_CLASS::Run, this);
    }
    catch (const std::system_error& e)
    {
        running_.store(false);
        throw RUNTIME_ERROR(DEBUG_INFO(e.code().value(), "THREAD_CLASS::Start: no thread"));
    }
}

void THREAD_CLASS::Stop()
{
    if (running_.load() && bodyThread_.load() == std::this_thread::get_id())
        throw LOGIC_ERROR(DEBUG_INFO("THREAD_CLASS::Stop called by the thread itself"));
    if (!thread_.joinable()) return;
    SetTermFlag(true);
    thread_.join();
}

void THREAD_CLASS::SetTermFlag(bool value)
{
    {
        // Under the mutex, so a waiter between its check and its sleep cannot miss it.
        std::lock_guard<std::mutex> lock(mutex_);
        term_.store(value);
    }
    if (value) wake_.notify_all();
}

THREAD_CLASS::WAIT_RESULT THREAD_CLASS::ThreadWait(unsigned int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const bool ended =
        wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return term_.load(); });
    return ended ? WAIT_TERMINATE : WAIT_TIMEOUT_ELAPSED;
}

void THREAD_CLASS::Run()
{
    bodyThread_.store(std::this_thread::get_id());
    if (!name_.empty()) pthread_setname_np(pthread_self(), name_.substr(0, 15).c_str());
    unsigned int code = 0xFFFFFFFFu;
    try
    {
        code = MainThread();
    }
    catch (const std::exception& e)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "THREAD %s%s%s ended by an exception: %s", name_.c_str(),
                    instanceName_.empty() ? "" : " ", instanceName_.c_str(), e.what());
    }
    catch (...)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "THREAD %s%s%s ended by an unknown exception",
                    name_.c_str(), instanceName_.empty() ? "" : " ", instanceName_.c_str());
    }
    exitCode_.store(code);
    bodyThread_.store(std::thread::id());
    running_.store(false);
}

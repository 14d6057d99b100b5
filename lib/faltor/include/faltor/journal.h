// The player core's journal: one object per process, absent unless the host creates it.
// Call sites test the pointer (or use JOURNAL_LOG, which does) so that nothing is formatted
// or written when no journal exists:
//
//     if (JOURNAL::Journal) JOURNAL::Journal->Log(JOURNAL::LEVEL_TRACE, "MOVRA::CPlay() out");
//
// Each entry becomes one line "YYYY-MM-DD HH:MM:SS.mmm <mark> <thread id> <text>", written
// with a single append under a lock, so lines from several threads never mix. Line breaks
// inside the text become spaces; a trailing one is dropped.
//
// The host creates the journal before it starts the core's threads and destroys it after
// they have ended: the pointer itself is not guarded.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>

class JOURNAL
{
public:
    static constexpr uint32_t LEVEL_TRACE = 26;        // mark "T"
    static constexpr uint32_t LEVEL_DEBUG = 41;        // per-command debug line, mark "D"
    static constexpr uint32_t LEVEL_ERROR = 268435456; // mark "E"; other levels: "L<n>"

    // The one journal; null when the host has not created one.
    static JOURNAL* Journal;

    // Opens (appending to, or creating) the file at `path` (UTF-8) and makes it the journal.
    // False when the file cannot be opened or a journal already exists; `error`, when given,
    // then says why.
    static bool Create(const std::string& path, std::string* error = nullptr);
    // Closes the journal; Journal is null afterwards. Nothing happens when there is none.
    static void Destroy();

    JOURNAL(const JOURNAL&) = delete;
    JOURNAL& operator=(const JOURNAL&) = delete;

    void Log(uint32_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void LogW(uint32_t level, const wchar_t* format, ...);
    void LogV(uint32_t level, const char* format, va_list args);
    void LogWV(uint32_t level, const wchar_t* format, va_list args);

    // Entries below `minimum` are dropped (0, the start value, keeps everything): 41 drops the
    // trace lines, 268435456 keeps only errors.
    void SetLevelFilter(uint32_t minimum) { minimum_.store(minimum); }
    uint32_t LevelFilter() const { return minimum_.load(); }
    bool Accepts(uint32_t level) const { return level >= minimum_.load(); }

    const std::string& Path() const { return path_; }

private:
    JOURNAL(int fd, std::string path);
    ~JOURNAL();
    void WriteLine(uint32_t level, const std::string& text);

    const int fd_;
    const std::string path_;
    std::atomic<uint32_t> minimum_{0};
    std::mutex mutex_;
};

// Writes to the journal when there is one and the level passes its filter.
#define JOURNAL_LOG(level, ...)                                                                    \
    do                                                                                             \
    {                                                                                              \
        if (JOURNAL::Journal && JOURNAL::Journal->Accepts(level))                                  \
            JOURNAL::Journal->Log((level), __VA_ARGS__);                                           \
    } while (0)

// Texts for exceptions: the message, up to three numbers put before it (error codes, sizes),
// where it was raised, the build date and time, and the thread. Call sites use DEBUG_INFO,
// which fills in the place:
//
//     throw RUNTIME_ERROR(DEBUG_INFO(result, "waveOutOpen failed"));
//
// gives "[5] waveOutOpen failed (sb_output_card.cpp:120, built Dec  8 2026 19:00:00,
// thread 4711)".
#pragma once

#include "faltor/thread_id.h"

#include <cstdint>
#include <string>

// The text a DebugInfo call returns; it converts to a plain character string for as long as
// the container lives (the exception constructors copy it).
class DEBUG_TEXT
{
public:
    explicit DEBUG_TEXT(std::string text) : text_(std::move(text)) {}
    operator const char*() const noexcept { return text_.c_str(); }
    const char* c_str() const noexcept { return text_.c_str(); }
    const std::string& str() const noexcept { return text_; }

private:
    std::string text_;
};

DEBUG_TEXT DebugInfo(const char* text, const char* file, const char* date, const char* time,
                     int line, uint32_t threadId);
DEBUG_TEXT DebugInfo(int64_t n1, const char* text, const char* file, const char* date,
                     const char* time, int line, uint32_t threadId);
DEBUG_TEXT DebugInfo(int64_t n1, int64_t n2, const char* text, const char* file, const char* date,
                     const char* time, int line, uint32_t threadId);
DEBUG_TEXT DebugInfo(int64_t n1, int64_t n2, int64_t n3, const char* text, const char* file,
                     const char* date, const char* time, int line, uint32_t threadId);

// The place arguments of DebugInfo for the current line.
#define FALTOR_HERE __FILE__, __DATE__, __TIME__, __LINE__, ::GetThreadId()
// DEBUG_INFO([n1, [n2, [n3,]]] text)
#define DEBUG_INFO(...) ::DebugInfo(__VA_ARGS__, FALTOR_HERE)

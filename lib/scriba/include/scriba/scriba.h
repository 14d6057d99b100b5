// The logging service of the program and the player wrapper. Both run in one process and
// write to the one log the program opens; lines before OpenLog or after CloseLog are
// dropped. Every call becomes one whole line, also when several threads write at once:
//   2026-12-08 19:05:01.123 [  4711] I2 text
// with the local time, the thread id, a level mark (I<level> informational, E error) and
// the text. The file rotates when it reaches the size given to OpenLog: Varke.log becomes
// Varke.log.1, the older ones move up, and at most `keepFiles` rotated files are kept.
#pragma once

#include <cstdint>

// Flags of OpenLog.
constexpr uint32_t kLogAppend = 0x1; // keep what the file already holds
constexpr uint32_t kLogEcho = 0x2;   // also copy every line to standard error

// Opens (or reopens) the log. `rotateBytes` 0 never rotates.
bool OpenLog(const wchar_t* path, uint32_t flags, uint32_t rotateBytes, uint32_t keepFiles);
void CloseLog();
// Informational lines with a detail level above this are dropped (default 9: keep all).
void SetLogLevel(int level);

// Formats are printf formats over UTF-8 text, checked by the compiler against their
// arguments: pass a wide string converted to UTF-8 (%s). %S still prints a wide string, but
// the compiler's ISO check refuses it.
#define SCRIBA_PRINTF(formatAt) __attribute__((format(printf, formatAt, formatAt + 1)))
void SLOG(const char* format, ...) SCRIBA_PRINTF(1);
void SLOG(int level, const char* format, ...) SCRIBA_PRINTF(2);
void SLOG_ERR(const char* format, ...) SCRIBA_PRINTF(1);
#undef SCRIBA_PRINTF

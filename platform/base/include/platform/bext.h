// The Broadcast WAV "bext" chunk: who made a recording and when it started. Drive recorders
// write it, the drive reader takes the start time from it, and exports will carry one. The
// body is fixed-width text and little-endian numbers, 602 bytes before the coding history.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::bext
{

inline constexpr size_t kFixedBytes = 602;

struct Bext
{
    std::string description;         // up to 256 bytes
    std::string originator;          // up to 32
    std::string originatorReference; // up to 32
    std::string originationDate;     // "yyyy-mm-dd"
    std::string originationTime;     // "hh:mm:ss" (some writers use '-' or '.')
    uint64_t timeReference = 0;      // samples since midnight at the start
    uint16_t version = 1;
    std::string codingHistory; // free text after the fixed fields
};

// The chunk body (without its header). Fields longer than their width are cut.
std::vector<uint8_t> Body(const Bext& bext);
// The fields of a body; nothing when it is shorter than the fixed part. Text fields end at
// their first NUL.
std::optional<Bext> Parse(const uint8_t* body, size_t size);

struct DateTime
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// The origination date and time when both are well formed and a real moment.
std::optional<DateTime> Origination(const Bext& bext);

} // namespace platform::bext

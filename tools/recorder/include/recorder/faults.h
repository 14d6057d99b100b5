// Faults the virtual recorder can be told to show, from the library API or as text from the
// command line (`--fault SPEC`). SPEC is KIND:ARG followed by optional ,key=value options:
//
//   fail:W25[,skip=S][,times=T][,error=E]  command 25 writes fail with Windows error E
//                                          (default 31); Q25 = queries only, 25 = both
//   empty:Q9[,skip=S][,times=T]            query 9 answers zero bytes ("not ready"), T times
//                                          (default 1); empty:* matches every query
//   short-answer:Q7[,skip=S][,times=T]     query 7 answers 8 bytes instead of 16 (default 1)
//   short-read:BYTES[,skip=S][,times=T]    a bulk read delivers at most BYTES (default once)
//   flip-data:SECTOR[,byte=B][,bit=b][,record=R]
//                                          bit b of byte B (default 300, 4) of 512-byte
//                                          sector SECTOR of the record data reads flipped
//                                          (every read; record R only, default any record);
//                                          give two to flip two bits
//   flip-code:SECTOR[,byte=B][,bit=b][,record=R]
//                                          bit b of byte B (0..2) of that sector's stored
//                                          code reads flipped (page-format firmware)
//   unplug-after:BYTES                     the recorder goes away once it has delivered
//                                          BYTES bulk bytes (the read that crosses the mark
//                                          is cut short at it)
//
// `skip` lets that many matching requests pass first; `times` limits how many are hit.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace recorder
{

struct Fault
{
    enum class Kind
    {
        FailCommand,
        EmptyAnswer,
        ShortAnswer,
        ShortRead,
        FlipData,
        FlipCode,
        UnplugAfter,
    };
    static constexpr uint32_t kUnlimited = std::numeric_limits<uint32_t>::max();

    Kind kind = Kind::FailCommand;
    char direction = 0; // 'Q', 'W' or 0 for both
    int command = -1;   // -1 = any command
    uint32_t skip = 0;
    uint32_t times = kUnlimited;
    uint32_t error = 31;
    uint32_t sector = 0, byte = 0, bit = 0;
    int record = -1; // -1 = any record
    uint64_t bytes = 0;
};

std::optional<Fault> ParseFault(const std::string& spec, std::string* error);

} // namespace recorder

// Wire format between a device I/O client and a device stand-in (one Unix stream connection
// per open handle). Every request is one frame:
//   u32 magic 'VDIO', u16 op (1 = control, 2 = read), u16 0, u32 control code,
//   u32 input length, u32 output capacity, then the input bytes.
// Every answer:
//   u32 magic 'VDIO', u32 status (0 = success, else a Windows error code),
//   u32 output length, then min(output length, output capacity) output bytes.
// For a control request the output length is the byte count the driver reports as
// transferred; it may exceed the capacity (a write request passes no output buffer yet is
// reported as 16 bytes transferred), in which case only the capacity's worth of bytes follows.
// For a read the output length is the number of bytes delivered and never exceeds the
// capacity. All integers are little-endian.
#pragma once

#include "platform/little_endian.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::devio
{

inline constexpr uint32_t kFrameMagic = 0x4F494456; // "VDIO" read as a little-endian word
inline constexpr uint16_t kOpControl = 1;
inline constexpr uint16_t kOpRead = 2;
inline constexpr size_t kRequestHeaderSize = 20;
inline constexpr size_t kAnswerHeaderSize = 12;
// No request carries more than this in either direction; a stand-in closes a connection that
// announces more, and the client refuses to ask for more.
inline constexpr uint32_t kMaxTransfer = 1024 * 1024;

struct RequestHeader
{
    uint16_t op = 0;
    uint16_t reserved = 0;
    uint32_t code = 0;
    uint32_t inputLength = 0;
    uint32_t outputCapacity = 0;
};

struct AnswerHeader
{
    uint32_t status = 0;
    uint32_t outputLength = 0;
};

// The frame code's names for the shared little-endian helpers.
inline void PutU16(uint8_t* p, uint16_t v)
{
    StoreLE16(p, v);
}
inline void PutU32(uint8_t* p, uint32_t v)
{
    StoreLE32(p, v);
}
inline uint16_t GetU16(const uint8_t* p)
{
    return LoadLE16(p);
}
inline uint32_t GetU32(const uint8_t* p)
{
    return LoadLE32(p);
}

// Header followed by the input bytes.
std::vector<uint8_t> EncodeRequest(const RequestHeader& header, const uint8_t* input);
// Decodes a request header (kRequestHeaderSize bytes). nullopt for a wrong magic.
std::optional<RequestHeader> DecodeRequestHeader(const uint8_t* bytes);
// A request header the stand-ins accept: right magic, both lengths at most kMaxTransfer.
bool IsAcceptableRequest(const RequestHeader& header);

// Header followed by `payloadLength` output bytes.
std::vector<uint8_t> EncodeAnswer(const AnswerHeader& header, const uint8_t* output,
                                  size_t payloadLength);
std::optional<AnswerHeader> DecodeAnswerHeader(const uint8_t* bytes);

// Number of output bytes that follow an answer header.
inline uint32_t AnswerPayloadLength(uint32_t outputLength, uint32_t outputCapacity)
{
    return outputLength < outputCapacity ? outputLength : outputCapacity;
}

} // namespace platform::devio

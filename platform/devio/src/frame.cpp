#include "platform/devio_frame.h"

namespace platform::devio
{

namespace
{
// A frame with the magic in place, room for the rest of its header and the payload behind it.
std::vector<uint8_t> Frame(size_t headerSize, const uint8_t* payload, size_t payloadLength)
{
    std::vector<uint8_t> out(headerSize + payloadLength);
    PutU32(&out[0], kFrameMagic);
    for (size_t i = 0; i < payloadLength; ++i)
        out[headerSize + i] = payload[i];
    return out;
}
} // namespace

std::vector<uint8_t> EncodeRequest(const RequestHeader& header, const uint8_t* input)
{
    std::vector<uint8_t> out = Frame(kRequestHeaderSize, input, header.inputLength);
    PutU16(&out[4], header.op);
    PutU16(&out[6], header.reserved);
    PutU32(&out[8], header.code);
    PutU32(&out[12], header.inputLength);
    PutU32(&out[16], header.outputCapacity);
    return out;
}

std::optional<RequestHeader> DecodeRequestHeader(const uint8_t* bytes)
{
    if (GetU32(bytes) != kFrameMagic) return std::nullopt;
    RequestHeader h;
    h.op = GetU16(bytes + 4);
    h.reserved = GetU16(bytes + 6);
    h.code = GetU32(bytes + 8);
    h.inputLength = GetU32(bytes + 12);
    h.outputCapacity = GetU32(bytes + 16);
    return h;
}

bool IsAcceptableRequest(const RequestHeader& header)
{
    return header.inputLength <= kMaxTransfer && header.outputCapacity <= kMaxTransfer;
}

std::vector<uint8_t> EncodeAnswer(const AnswerHeader& header, const uint8_t* output,
                                  size_t payloadLength)
{
    std::vector<uint8_t> out = Frame(kAnswerHeaderSize, output, payloadLength);
    PutU32(&out[4], header.status);
    PutU32(&out[8], header.outputLength);
    return out;
}

std::optional<AnswerHeader> DecodeAnswerHeader(const uint8_t* bytes)
{
    if (GetU32(bytes) != kFrameMagic) return std::nullopt;
    AnswerHeader h;
    h.status = GetU32(bytes + 4);
    h.outputLength = GetU32(bytes + 8);
    return h;
}

} // namespace platform::devio

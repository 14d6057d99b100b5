#include "platform/devio_frame.h"

namespace platform::devio
{

std::vector<uint8_t> EncodeRequest(const RequestHeader& header, const uint8_t* input)
{
    std::vector<uint8_t> out(kRequestHeaderSize + header.inputLength);
    PutU32(&out[0], kFrameMagic);
    PutU16(&out[4], header.op);
    PutU16(&out[6], header.reserved);
    PutU32(&out[8], header.code);
    PutU32(&out[12], header.inputLength);
    PutU32(&out[16], header.outputCapacity);
    for (uint32_t i = 0; i < header.inputLength; ++i)
        out[kRequestHeaderSize + i] = input[i];
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
    std::vector<uint8_t> out(kAnswerHeaderSize + payloadLength);
    PutU32(&out[0], kFrameMagic);
    PutU32(&out[4], header.status);
    PutU32(&out[8], header.outputLength);
    for (size_t i = 0; i < payloadLength; ++i)
        out[kAnswerHeaderSize + i] = output[i];
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

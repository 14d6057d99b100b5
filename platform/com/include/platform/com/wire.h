// Little-endian encoding of call frames. Used by the marshalling templates in marshal.h; a
// Reader never reads past its frame and turns any malformed value into ok() == false.
#pragma once

#include "platform/com/interfaces.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace com
{
namespace detail
{
class Channel;
}

class Writer
{
public:
    explicit Writer(detail::Channel* channel = nullptr) : channel_(channel) {}
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void U64(uint64_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F64(double v);
    void Guid(const GUID& g);
    void Bstr(BSTR s);                                // null and empty stay distinct
    void Variant(const VARIANT& v);                   // by-reference variants carry their value
    void Interface(IUnknown* object, const IID& iid); // null allowed
    std::vector<uint8_t>& Bytes() { return bytes_; }
    detail::Channel* ChannelOf() const { return channel_; }

private:
    detail::Channel* channel_;
    std::vector<uint8_t> bytes_;
};

class Reader
{
public:
    Reader(const uint8_t* data, size_t size, detail::Channel* channel = nullptr)
        : p_(data), end_(data + size), channel_(channel)
    {
    }
    bool ok() const { return ok_; }
    void Fail() { ok_ = false; }
    bool AtEnd() const { return p_ == end_; }
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    double F64();
    GUID Guid();
    BSTR Bstr(); // caller frees
    // Caller clears. By-reference variants need `holders` for the values they refer to;
    // without it they are malformed.
    void Variant(VARIANT* out, std::deque<VARIANT>* holders = nullptr);
    // A proxy (or, for our own object coming back, the object) with one reference, as `iid`.
    void* Interface(const IID& iid);

private:
    bool Take(void* out, size_t n);
    const uint8_t* p_;
    const uint8_t* end_;
    detail::Channel* channel_;
    bool ok_ = true;
    int depth_ = 0;
};

} // namespace com

// RIFF chunks of a WAVE file as the writer lays them down (their bytes come from
// platform/riff.h), and the form header the reader checks before it walks the chunks. Read
// and Write work at the file's current position and report failure by their result; the
// callers decide which exception that is.
#pragma once

#include "basix/x_file.h"
#include "platform/riff.h"
#include "platform/wave_format.h"
#include "templates/r_number.h"

#include <cstdint>

using platform::riff::FourCc;

constexpr uint32_t CHUNK_RIFF = FourCc("RIFF");
constexpr uint32_t CHUNK_WAVE = FourCc("WAVE");
constexpr uint32_t CHUNK_FMT = FourCc("fmt ");
constexpr uint32_t CHUNK_FACT = FourCc("fact");
constexpr uint32_t CHUNK_DATA = FourCc("data");

// Whole units of a time, rounded towards minus infinity.
inline int64_t FloorOf(const RNUMBER64& value)
{
    const int64_t n = value.Num(), d = value.Den();
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

// Whole frames for a wanted size: rounded down, but at least one for any size above zero,
// so that a reader at a very low rate still moves on.
inline int64_t FramesOf(const RNUMBER64& wanted, unsigned rate)
{
    if (wanted <= RNUMBER64(0) || rate == 0) return 0;
    const int64_t frames = FloorOf(wanted * RNUMBER64(int64_t(rate)));
    return frames > 0 ? frames : 1;
}

// The largest format record the reader takes.
constexpr uint32_t kMaxFormatBytes = 998;

class CHUNK
{
public:
    explicit CHUNK(uint32_t id) : id_(id) {}
    virtual ~CHUNK();
    // Header and body.
    virtual bool Write(A_FILE& file);
    virtual uint32_t BodySize() const { return size_; }

    uint32_t Id() const { return id_; }
    // The size field as last read or written.
    uint32_t Size() const { return size_; }
    void SetSize(uint32_t size) { size_ = size; }

protected:
    bool ReadHeader(A_FILE& file);
    bool WriteHeader(A_FILE& file, uint32_t size);

    uint32_t id_;
    uint32_t size_ = 0;
};

// "RIFF" size "WAVE": the size field is the file size less 8.
class RIFF_CHUNK : public CHUNK
{
public:
    RIFF_CHUNK() : CHUNK(CHUNK_RIFF) {}
    bool Write(A_FILE& file) override;
    // false for a short read; the form is in Form().
    bool Read(A_FILE& file);
    uint32_t BodySize() const override { return 4; }
    uint32_t Form() const { return form_; }

private:
    uint32_t form_ = CHUNK_WAVE;
};

class FMT_CHUNK : public CHUNK
{
public:
    FMT_CHUNK() : CHUNK(CHUNK_FMT) {}
    explicit FMT_CHUNK(const WAVEFORMATEX* format);
    bool Write(A_FILE& file) override;
    uint32_t BodySize() const override;
    const platform::WaveFormatBlock& Format() const { return format_; }

private:
    platform::WaveFormatBlock format_;
};

class FACT_CHUNK : public CHUNK
{
public:
    FACT_CHUNK() : CHUNK(CHUNK_FACT) {}
    bool Write(A_FILE& file) override;
    uint32_t BodySize() const override { return 4; }
    uint32_t Samples() const { return samples_; }
    void SetSamples(uint32_t samples) { samples_ = samples; }

private:
    uint32_t samples_ = 0;
};

// Only the header: the body is the sound, read and written by the WAVE file itself.
class DATA_CHUNK : public CHUNK
{
public:
    DATA_CHUNK() : CHUNK(CHUNK_DATA) {}
    // Writes the header with the current size.
    bool Write(A_FILE& file) override;
};

#include "platform/acm.h"

#include "acmtest/codec_files.h"
#include "platform/little_endian.h"

#include <gtest/gtest.h>

using platform::WaveFormatBlock;
using platform::acm::ConversionStream;

namespace
{

WAVEFORMATEX Pcm16(const WAVEFORMATEX& src)
{
    return platform::MakePcmFormat(src.nSamplesPerSec, src.nChannels);
}

// Drives a stream the way the sound file library does: 0x20000-byte input chunks,
// block-aligned conversions, then one final conversion.
std::vector<int16_t> DecodeAll(const WaveFormatBlock& format, const std::vector<uint8_t>& data)
{
    std::string error;
    auto stream = ConversionStream::Open(format.get(), Pcm16(*format), &error);
    EXPECT_TRUE(stream) << error;
    if (!stream) return {};
    std::vector<uint8_t> out(stream->OutputSize(0x20000));
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> input;
    size_t next = 0;
    for (;;)
    {
        const size_t add = std::min(data.size() - next, 0x20000 - input.size());
        input.insert(input.end(), data.begin() + next, data.begin() + next + add);
        next += add;
        auto r = stream->Convert(input.data(), input.size(), out.data(), out.size(), true);
        if (r.outputUsed == 0)
            r = stream->Convert(input.data(), input.size(), out.data(), out.size(), false);
        input.erase(input.begin(), input.begin() + r.sourceUsed);
        pcm.insert(pcm.end(), out.begin(), out.begin() + r.outputUsed);
        if (stream->AtEnd() && next == data.size()) break;
    }
    std::vector<int16_t> samples(pcm.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(platform::LoadLE16(pcm.data() + 2 * i));
    return samples;
}

struct CodecCase
{
    const char* encoder;
    uint16_t tag;
    int rate, channels;
    double minSnr;
    int maxLag;
};

} // namespace

TEST(Acm, EncodedFormatsDecodeCloseToTheirSource)
{
    const CodecCase cases[] = {
        {"pcm_mulaw", WAVE_FORMAT_MULAW, 8000, 1, 32, 0},
        {"pcm_alaw", WAVE_FORMAT_ALAW, 8000, 2, 32, 0},
        {"adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, 16000, 2, 28, 0},
        {"adpcm_ms", WAVE_FORMAT_ADPCM, 22050, 1, 30, 0},
        {"libgsm_ms", WAVE_FORMAT_GSM610, 8000, 1, 15, 400},
        {"libmp3lame", WAVE_FORMAT_MPEGLAYER3, 44100, 2, 18, 3000},
    };
    for (const CodecCase& c : cases)
    {
        SCOPED_TRACE(c.encoder);
        const int frames = c.rate * 3 / 2 + 77; // not a whole number of blocks
        const auto source = acmtest::Tone(c.rate, c.channels, frames, 440, 9000);
        const auto encoded = acmtest::Encode(c.encoder, c.tag, c.rate, c.channels, source);
        const auto decoded = DecodeAll(encoded.format, encoded.data);
        EXPECT_GE(decoded.size(), source.size());
        const double snr = acmtest::AlignedSnr(source, decoded, c.channels, c.maxLag);
        EXPECT_GT(snr, c.minSnr);
    }
}

TEST(Acm, PcmWidthsAndFloatConvertExactly)
{
    // 8-bit unsigned, 24-bit and 32-bit signed, 32-bit float: full scale, zero, negative.
    struct Case
    {
        uint16_t tag, bits;
        std::vector<uint8_t> bytes;
        std::vector<int16_t> want;
    } cases[] = {
        {WAVE_FORMAT_PCM, 8, {0x80, 0xFF, 0x00}, {0, 32512, -32768}},
        {WAVE_FORMAT_PCM, 24, {0, 0, 0, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80}, {0, 32767, -32768}},
        {WAVE_FORMAT_PCM, 32, {0, 0, 0x34, 0x12, 0, 0, 0, 0x80}, {0x1234, -32768}},
        {WAVE_FORMAT_IEEE_FLOAT, 32, {0, 0, 0, 0x3F, 0, 0, 0x80, 0xBF}, {16384, -32768}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bits);
        WAVEFORMATEX f = platform::MakePcmFormat(8000, 1, c.bits);
        f.wFormatTag = c.tag;
        EXPECT_EQ(DecodeAll(WaveFormatBlock(&f), c.bytes), c.want);
    }
}

TEST(Acm, ExtensiblePcmDecodesAsItsSubFormat)
{
    WAVEFORMATEX f = platform::MakePcmFormat(48000, 2, 24);
    f.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    std::vector<uint8_t> extra = {24, 0,    3, 0,    0, 0, 1,    0, 0,    0,    0,
                                  0,  0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const WaveFormatBlock block(f, extra.data(), extra.size());
    EXPECT_EQ(DecodeAll(block, {0, 0, 0x40, 0, 0, 0xC0}), (std::vector<int16_t>{0x4000, -0x4000}));

    extra[6] = 0x55; // a sub-format we do not know
    const WaveFormatBlock unknown(f, extra.data(), extra.size());
    EXPECT_FALSE(ConversionStream::Open(unknown.get(), Pcm16(f)));
}

TEST(Acm, BlockAlignedConversionKeepsTheTornBlockUntilTheFinalOne)
{
    const auto source = acmtest::Tone(8000, 1, 40000, 300, 8000);
    const auto enc = acmtest::Encode("adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, 8000, 1, source);
    const size_t ba = enc.format->nBlockAlign;
    ASSERT_GT(enc.data.size(), 3 * ba);
    auto stream = ConversionStream::Open(enc.format.get(), Pcm16(*enc.format));
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->SourceBlockAlign(), ba);
    const size_t perBlock = 1 + (ba - 4) * 2; // frames of one mono 4-bit block
    EXPECT_EQ(stream->OutputSize(ba + 1), 2 * perBlock * 2);
    std::vector<uint8_t> out(stream->OutputSize(0x20000));

    auto r = stream->Convert(enc.data.data(), ba + ba / 2, out.data(), out.size(), true);
    EXPECT_EQ(r.sourceUsed, ba);
    EXPECT_EQ(r.outputUsed, perBlock * 2);
    EXPECT_FALSE(stream->AtEnd());

    r = stream->Convert(enc.data.data() + ba, ba / 2, out.data(), out.size(), true);
    EXPECT_EQ(r.sourceUsed, 0u);
    EXPECT_EQ(r.outputUsed, 0u);

    r = stream->Convert(enc.data.data() + ba, ba / 2, out.data(), out.size(), false);
    EXPECT_EQ(r.sourceUsed, ba / 2);
    EXPECT_GT(r.outputUsed, 0u);
    EXPECT_TRUE(stream->AtEnd());

    // A fresh run after the end, and after a reset, still decodes.
    stream->Reset();
    r = stream->Convert(enc.data.data(), 2 * ba, out.data(), out.size(), true);
    EXPECT_EQ(r.sourceUsed, 2 * ba);
    EXPECT_EQ(r.outputUsed, 2 * perBlock * 2);
}

TEST(Acm, OutputThatDoesNotFitIsHeldForTheNextCall)
{
    const auto source = acmtest::Tone(44100, 2, 44100, 1000, 10000);
    const auto enc = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 44100, 2, source);
    auto stream = ConversionStream::Open(enc.format.get(), Pcm16(*enc.format));
    ASSERT_TRUE(stream);
    // The whole file in one call, 1001 bytes of room: whole frames only, the rest held.
    std::vector<uint8_t> out(1001);
    auto r = stream->Convert(enc.data.data(), enc.data.size(), out.data(), out.size(), true);
    EXPECT_EQ(r.sourceUsed, enc.data.size());
    EXPECT_EQ(r.outputUsed, 1000u);
    EXPECT_TRUE(stream->HasHeldOutput());
    size_t total = r.outputUsed;
    for (int guard = 0; guard < 100000 && !stream->AtEnd(); ++guard)
    {
        r = stream->Convert(nullptr, 0, out.data(), out.size(), stream->HasHeldOutput());
        EXPECT_EQ(r.outputUsed % 4, 0u);
        total += r.outputUsed;
    }
    EXPECT_TRUE(stream->AtEnd());
    EXPECT_GE(total / 4, 44100u);
}

TEST(Acm, InconsistentOrUnknownFormatsAreRefused)
{
    const WAVEFORMATEX good = platform::MakePcmFormat(8000, 1);
    struct Case
    {
        const char* what;
        void (*edit)(WAVEFORMATEX&);
    } cases[] = {
        {"no channels", [](WAVEFORMATEX& f) { f.nChannels = 0; }},
        {"rate 0", [](WAVEFORMATEX& f) { f.nSamplesPerSec = 0; }},
        {"block align 0", [](WAVEFORMATEX& f) { f.nBlockAlign = 0; }},
        {"odd PCM width", [](WAVEFORMATEX& f) { f.wBitsPerSample = 12; }},
        {"unknown tag", [](WAVEFORMATEX& f) { f.wFormatTag = 0x1234; }},
        {"IMA block 0", [](WAVEFORMATEX& f)
         { f.wFormatTag = WAVE_FORMAT_IMA_ADPCM, f.wBitsPerSample = 4, f.nBlockAlign = 0; }},
        {"IMA torn group", [](WAVEFORMATEX& f)
         { f.wFormatTag = WAVE_FORMAT_IMA_ADPCM, f.wBitsPerSample = 4, f.nBlockAlign = 7; }},
        {"MS ADPCM block 0",
         [](WAVEFORMATEX& f) { f.wFormatTag = WAVE_FORMAT_ADPCM, f.nBlockAlign = 0; }},
        {"GSM block 64",
         [](WAVEFORMATEX& f) { f.wFormatTag = WAVE_FORMAT_GSM610, f.nBlockAlign = 64; }},
        {"A-law stereo block 1", [](WAVEFORMATEX& f)
         { f.wFormatTag = WAVE_FORMAT_ALAW, f.nChannels = 2, f.nBlockAlign = 1; }},
        {"extensible without extra",
         [](WAVEFORMATEX& f) { f.wFormatTag = WAVE_FORMAT_EXTENSIBLE; }},
    };
    for (const Case& c : cases)
    {
        WAVEFORMATEX f = good;
        c.edit(f);
        std::string error;
        const WaveFormatBlock block(f, nullptr, 0);
        WAVEFORMATEX dest = platform::MakePcmFormat(f.nSamplesPerSec, f.nChannels);
        EXPECT_FALSE(ConversionStream::Open(block.get(), dest, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    // The destination must be 16-bit PCM of the source's rate and channels.
    const WaveFormatBlock block(&good);
    EXPECT_FALSE(ConversionStream::Open(block.get(), platform::MakePcmFormat(16000, 1)));
    EXPECT_FALSE(ConversionStream::Open(block.get(), platform::MakePcmFormat(8000, 2)));
    EXPECT_FALSE(ConversionStream::Open(block.get(), platform::MakePcmFormat(8000, 1, 8)));
    EXPECT_TRUE(ConversionStream::Open(block.get(), platform::MakePcmFormat(8000, 1)));
}

TEST(Acm, GarbageInAValidFormatNeverFailsTheStream)
{
    std::vector<uint8_t> junk(50000);
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<uint8_t>(i * 7919 >> 3);
    WAVEFORMATEX mp3{WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, 0};
    WAVEFORMATEX ima{WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4055, 256, 4, 0};
    WAVEFORMATEX ms{WAVE_FORMAT_ADPCM, 2, 8000, 4055, 512, 4, 0};
    for (const WAVEFORMATEX& f : {mp3, ima, ms})
    {
        const auto decoded = DecodeAll(WaveFormatBlock(&f), junk);
        EXPECT_EQ(decoded.size() % f.nChannels, 0u);
    }
}

TEST(Acm, TagAndFormatNames)
{
    using platform::acm::FormatName;
    using platform::acm::FormatTagName;
    EXPECT_EQ(FormatTagName(1), "PCM");
    EXPECT_EQ(FormatTagName(2), "Microsoft ADPCM");
    EXPECT_EQ(FormatTagName(6), "CCITT A-Law");
    EXPECT_EQ(FormatTagName(7), "CCITT u-Law");
    EXPECT_EQ(FormatTagName(0x11), "IMA ADPCM");
    EXPECT_EQ(FormatTagName(0x31), "GSM 6.10");
    EXPECT_EQ(FormatTagName(0x55), "MPEG Layer-3");
    EXPECT_FALSE(FormatTagName(0x1234));

    EXPECT_EQ(FormatName({WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4055, 256, 4, 2}),
              "8.000 kHz, 4 Bit, Mono");
    EXPECT_EQ(FormatName(platform::MakePcmFormat(44100, 2)), "44.100 kHz, 16 Bit, Stereo");
    EXPECT_EQ(FormatName({WAVE_FORMAT_GSM610, 1, 8000, 1625, 65, 0, 2}), "8.000 kHz, Mono");
    EXPECT_EQ(FormatName({WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, 12}),
              "128 kBit/s, 44.100 kHz, Stereo");
    EXPECT_FALSE(FormatName({0x1234, 1, 8000, 8000, 1, 8, 0}));
}

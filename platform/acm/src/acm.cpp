#include "platform/acm.h"

#include "platform/little_endian.h"
#include "platform/s16_resampler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace platform::acm
{

namespace
{

// Beyond these a format block is hostile rather than unusual; they also bound the buffers a
// caller sizes from OutputSize.
constexpr unsigned kMaxChannels = 16;
constexpr uint32_t kMaxRate = 1000000;
// MPEG audio frames carry at most 1152 samples; a final flush may give out two of them
// beyond what the byte rate predicts.
constexpr size_t kMpegSlackFrames = 2 * 1152;
constexpr size_t kMaxPcmPacket = 0x10000;

// KSDATAFORMAT_SUBTYPE_* of an extensible block: the tag in the first two bytes, then this.
constexpr uint8_t kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct Plan
{
    AVCodecID codec = AV_CODEC_ID_NONE;
    bool parsed = false;  // frames found by a parser (MPEG audio), not by block
    bool pcmLike = false; // any number of whole blocks decodes in one packet
    bool passExtra = false;
    size_t blockAlign = 1;
    size_t framesPerBlock = 1;
    int bitsPerCodedSample = 0;
};

// Hostile files make the codecs complain on every block; our callers report failures
// themselves, so the library's own console chatter is switched off.
void QuietCodecLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

bool Fail(std::string* error, const char* text)
{
    if (error) *error = text;
    return false;
}

// The tag that decides the codec: an extensible block names it in its sub-format.
uint16_t EffectiveTag(const WAVEFORMATEX* f)
{
    if (f->wFormatTag != WAVE_FORMAT_EXTENSIBLE) return f->wFormatTag;
    if (f->cbSize < 22) return WAVE_FORMAT_UNKNOWN;
    const uint8_t* guid = WaveFormatExtra(f) + 6;
    if (std::memcmp(guid + 2, kSubtypeTail, sizeof kSubtypeTail) != 0) return WAVE_FORMAT_UNKNOWN;
    const uint16_t sub = LoadLE16(guid);
    return (sub == WAVE_FORMAT_PCM || sub == WAVE_FORMAT_IEEE_FLOAT) ? sub : WAVE_FORMAT_UNKNOWN;
}

bool MakePlan(const WAVEFORMATEX* f, Plan& p, std::string* error)
{
    const unsigned ch = f->nChannels;
    const unsigned ba = f->nBlockAlign;
    if (ch == 0 || ch > kMaxChannels) return Fail(error, "unsupported channel count");
    if (f->nSamplesPerSec == 0 || f->nSamplesPerSec > kMaxRate)
        return Fail(error, "unsupported sample rate");
    p.blockAlign = ba;
    switch (EffectiveTag(f))
    {
    case WAVE_FORMAT_PCM:
        switch (f->wBitsPerSample)
        {
        case 8:
            p.codec = AV_CODEC_ID_PCM_U8;
            break;
        case 16:
            p.codec = AV_CODEC_ID_PCM_S16LE;
            break;
        case 24:
            p.codec = AV_CODEC_ID_PCM_S24LE;
            break;
        case 32:
            p.codec = AV_CODEC_ID_PCM_S32LE;
            break;
        default:
            return Fail(error, "unsupported PCM sample size");
        }
        if (ba != ch * f->wBitsPerSample / 8u) return Fail(error, "PCM block align mismatch");
        p.pcmLike = true;
        return true;
    case WAVE_FORMAT_IEEE_FLOAT:
        if (f->wBitsPerSample == 32)
            p.codec = AV_CODEC_ID_PCM_F32LE;
        else if (f->wBitsPerSample == 64)
            p.codec = AV_CODEC_ID_PCM_F64LE;
        else
            return Fail(error, "unsupported float sample size");
        if (ba != ch * f->wBitsPerSample / 8u) return Fail(error, "float block align mismatch");
        p.pcmLike = true;
        return true;
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
        p.codec = f->wFormatTag == WAVE_FORMAT_ALAW ? AV_CODEC_ID_PCM_ALAW : AV_CODEC_ID_PCM_MULAW;
        if (ba != ch) return Fail(error, "G.711 block align mismatch");
        p.pcmLike = true;
        return true;
    case WAVE_FORMAT_ADPCM:
        // Each channel's block starts with a 7-byte header that already holds two samples.
        if (ch > 2 || ba < 7 * ch) return Fail(error, "unusable Microsoft ADPCM block");
        p.codec = AV_CODEC_ID_ADPCM_MS;
        p.framesPerBlock = 2 + (ba - 7 * ch) * 2 / ch;
        p.passExtra = true;
        p.bitsPerCodedSample = 4;
        return true;
    case WAVE_FORMAT_IMA_ADPCM:
        // A 4-byte header per channel (one sample), then groups of 4 bytes = 8 samples.
        if (f->wBitsPerSample != 4 || ba <= 4 * ch || (ba - 4 * ch) % (4 * ch) != 0)
            return Fail(error, "unusable IMA ADPCM block");
        p.codec = AV_CODEC_ID_ADPCM_IMA_WAV;
        p.framesPerBlock = 1 + (ba - 4 * ch) / (4 * ch) * 8;
        p.passExtra = true;
        p.bitsPerCodedSample = 4;
        return true;
    case WAVE_FORMAT_GSM610:
        if (ch != 1 || ba != 65) return Fail(error, "unusable GSM 6.10 block");
        p.codec = AV_CODEC_ID_GSM_MS;
        p.framesPerBlock = 320;
        return true;
    case WAVE_FORMAT_MPEG:
    case WAVE_FORMAT_MPEGLAYER3:
        p.codec = f->wFormatTag == WAVE_FORMAT_MPEG ? AV_CODEC_ID_MP2 : AV_CODEC_ID_MP3;
        p.parsed = true;
        p.blockAlign = 1;
        p.framesPerBlock = 0;
        return true;
    default:
        return Fail(error, "unknown format tag");
    }
}

std::string RateText(uint32_t rate)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%03u kHz", rate / 1000, rate % 1000);
    return buf;
}

std::string ChannelText(unsigned ch)
{
    if (ch == 1) return "Mono";
    if (ch == 2) return "Stereo";
    return std::to_string(ch) + " Channels";
}

} // namespace

std::optional<std::string> FormatTagName(uint16_t tag)
{
    switch (tag)
    {
    case WAVE_FORMAT_PCM:
        return "PCM";
    case WAVE_FORMAT_ADPCM:
        return "Microsoft ADPCM";
    case WAVE_FORMAT_IEEE_FLOAT:
        return "IEEE Float";
    case WAVE_FORMAT_ALAW:
        return "CCITT A-Law";
    case WAVE_FORMAT_MULAW:
        return "CCITT u-Law";
    case WAVE_FORMAT_IMA_ADPCM:
        return "IMA ADPCM";
    case WAVE_FORMAT_GSM610:
        return "GSM 6.10";
    case WAVE_FORMAT_MPEG:
        return "MPEG Layer-2";
    case WAVE_FORMAT_MPEGLAYER3:
        return "MPEG Layer-3";
    case WAVE_FORMAT_EXTENSIBLE:
        return "Extensible";
    default:
        return std::nullopt;
    }
}

std::optional<std::string> FormatName(const WAVEFORMATEX& f)
{
    if (!FormatTagName(f.wFormatTag)) return std::nullopt;
    std::string text;
    if (f.wFormatTag == WAVE_FORMAT_MPEG || f.wFormatTag == WAVE_FORMAT_MPEGLAYER3)
        text = std::to_string(f.nAvgBytesPerSec * 8 / 1000) + " kBit/s, ";
    text += RateText(f.nSamplesPerSec);
    if (f.wBitsPerSample > 0) text += ", " + std::to_string(f.wBitsPerSample) + " Bit";
    text += ", " + ChannelText(f.nChannels);
    return text;
}

struct ConversionStream::Impl
{
    WaveFormatBlock source;
    WAVEFORMATEX destination{};
    Plan plan;
    AVCodecContext* ctx = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    S16Resampler resampler;
    std::vector<uint8_t> held;
    size_t heldFront = 0;
    std::vector<uint8_t> scratch, parsed;
    bool atEnd = false;

    ~Impl()
    {
        av_parser_close(parser);
        avcodec_free_context(&ctx);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }

    bool OpenCodec(std::string* error)
    {
        const AVCodec* codec = avcodec_find_decoder(plan.codec);
        if (!codec) return Fail(error, "no decoder for this format");
        ctx = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!ctx || !packet || !frame) return Fail(error, "out of memory");
        const WAVEFORMATEX& f = *source;
        ctx->sample_rate = static_cast<int>(f.nSamplesPerSec);
        av_channel_layout_default(&ctx->ch_layout, f.nChannels);
        ctx->block_align = f.nBlockAlign;
        ctx->bits_per_coded_sample =
            plan.bitsPerCodedSample ? plan.bitsPerCodedSample : f.wBitsPerSample;
        ctx->bit_rate = static_cast<int64_t>(f.nAvgBytesPerSec) * 8;
        if (plan.passExtra && f.cbSize > 0)
        {
            ctx->extradata = static_cast<uint8_t*>(
                av_mallocz(static_cast<size_t>(f.cbSize) + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!ctx->extradata) return Fail(error, "out of memory");
            std::memcpy(ctx->extradata, WaveFormatExtra(source.get()), f.cbSize);
            ctx->extradata_size = f.cbSize;
        }
        if (avcodec_open2(ctx, codec, nullptr) < 0)
            return Fail(error, "decoder refused the format");
        if (plan.parsed && !(parser = av_parser_init(plan.codec)))
            return Fail(error, "no parser for this format");
        resampler.SetOutput(static_cast<int>(destination.nSamplesPerSec), destination.nChannels);
        return true;
    }

    size_t FrameBytes() const { return destination.nBlockAlign; }
    size_t HeldBytes() const { return held.size() - heldFront; }

    size_t TakeHeld(uint8_t* out, size_t capacity)
    {
        const size_t n = std::min(HeldBytes(), capacity - capacity % FrameBytes());
        if (n) std::memcpy(out, held.data() + heldFront, n);
        heldFront += n;
        if (heldFront == held.size()) held.clear(), heldFront = 0;
        return n;
    }

    void Append(const AVFrame* fr)
    {
        if (fr->nb_samples <= 0) return;
        const bool direct = fr->format == AV_SAMPLE_FMT_S16 &&
                            fr->ch_layout.nb_channels == destination.nChannels &&
                            fr->sample_rate == static_cast<int>(destination.nSamplesPerSec);
        if (direct && !resampler.Active())
        {
            const size_t n = static_cast<size_t>(fr->nb_samples) * FrameBytes();
            held.insert(held.end(), fr->data[0], fr->data[0] + n);
            return;
        }
        resampler.Append(*fr, held);
    }

    void ReceiveAll()
    {
        while (avcodec_receive_frame(ctx, frame) >= 0)
        {
            Append(frame);
            av_frame_unref(frame);
        }
    }

    // Decoders may read a little past the end of a packet, hence the padded copy.
    void Decode(const uint8_t* data, size_t size)
    {
        scratch.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
        std::memcpy(scratch.data(), data, size);
        std::memset(scratch.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        packet->data = scratch.data();
        packet->size = static_cast<int>(size);
        // A block the codec rejects is skipped; the rest of the stream still decodes.
        if (avcodec_send_packet(ctx, packet) >= 0) ReceiveAll();
        packet->data = nullptr;
        packet->size = 0;
    }

    // Parsers read past their input as decoders do: they get a padded copy of their own, as
    // what they hand back may point into it.
    void Parse(const uint8_t* input, size_t size)
    {
        if (size == 0) return;
        parsed.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
        std::memcpy(parsed.data(), input, size);
        std::memset(parsed.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        const uint8_t* data = parsed.data();
        while (size > 0)
        {
            uint8_t* out = nullptr;
            int outSize = 0;
            const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
            const int used = av_parser_parse2(parser, ctx, &out, &outSize, data, chunk,
                                              AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) break;
            if (outSize > 0) Decode(out, static_cast<size_t>(outSize));
            data += used;
            size -= static_cast<size_t>(used);
            if (used == 0 && outSize == 0) break;
        }
    }

    // The end of a run: last parsed frame, frames the codec still holds, resampler delay.
    void Drain()
    {
        if (parser)
        {
            uint8_t* out = nullptr;
            int outSize = 0;
            av_parser_parse2(parser, ctx, &out, &outSize, nullptr, 0, AV_NOPTS_VALUE,
                             AV_NOPTS_VALUE, 0);
            if (outSize > 0) Decode(out, static_cast<size_t>(outSize));
            av_parser_close(parser);
            parser = av_parser_init(plan.codec);
        }
        if (avcodec_send_packet(ctx, nullptr) >= 0) ReceiveAll();
        avcodec_flush_buffers(ctx);
        resampler.Drain(held);
    }
};

ConversionStream::ConversionStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ConversionStream::~ConversionStream() = default;

std::unique_ptr<ConversionStream> ConversionStream::Open(const WAVEFORMATEX* source,
                                                         const WAVEFORMATEX& destination,
                                                         std::string* error)
{
    QuietCodecLog();
    if (!source) return Fail(error, "no source format"), nullptr;
    auto impl = std::make_unique<Impl>();
    impl->source = WaveFormatBlock(source);
    impl->destination = destination;
    if (!MakePlan(source, impl->plan, error)) return nullptr;
    const WAVEFORMATEX& d = destination;
    if (d.wFormatTag != WAVE_FORMAT_PCM || d.wBitsPerSample != 16 ||
        d.nChannels != source->nChannels || d.nSamplesPerSec != source->nSamplesPerSec ||
        d.nBlockAlign != 2 * d.nChannels)
        return Fail(error, "destination must be 16-bit PCM of the same rate and channels"), nullptr;
    if (!impl->OpenCodec(error)) return nullptr;
    return std::unique_ptr<ConversionStream>(new ConversionStream(std::move(impl)));
}

size_t ConversionStream::SourceBlockAlign() const
{
    return impl_->plan.blockAlign;
}

size_t ConversionStream::OutputSize(size_t sourceBytes) const
{
    const Plan& p = impl_->plan;
    const WAVEFORMATEX& s = *impl_->source;
    const size_t frameBytes = impl_->FrameBytes();
    if (p.parsed)
    {
        const uint64_t rate = std::max<uint32_t>(s.nAvgBytesPerSec, 1000);
        const uint64_t frames = static_cast<uint64_t>(sourceBytes) * s.nSamplesPerSec / rate;
        return static_cast<size_t>(frames + kMpegSlackFrames) * frameBytes;
    }
    const size_t blocks = (sourceBytes + p.blockAlign - 1) / p.blockAlign;
    return blocks * p.framesPerBlock * frameBytes;
}

ConversionStream::Result ConversionStream::Convert(const uint8_t* source, size_t sourceSize,
                                                   uint8_t* output, size_t outputCapacity,
                                                   bool blockAlign)
{
    Impl& m = *impl_;
    Result r;
    m.atEnd = false;
    r.outputUsed = m.TakeHeld(output, outputCapacity);
    if (m.HeldBytes() > 0) return r;
    const auto take = [&]
    { r.outputUsed += m.TakeHeld(output + r.outputUsed, outputCapacity - r.outputUsed); };
    bool finished = false;
    if (m.plan.parsed)
    {
        m.Parse(source, sourceSize);
        r.sourceUsed = sourceSize;
        if (!blockAlign) m.Drain(), finished = true;
        take();
    }
    else
    {
        const size_t ba = m.plan.blockAlign;
        const size_t blockOut = m.plan.framesPerBlock * m.FrameBytes();
        size_t pos = 0;
        while (sourceSize - pos >= ba)
        {
            const size_t fit = (outputCapacity - r.outputUsed) / blockOut;
            if (fit == 0) break;
            size_t blocks = 1;
            if (m.plan.pcmLike)
                blocks = std::min(
                    {(sourceSize - pos) / ba, fit, std::max<size_t>(1, kMaxPcmPacket / ba)});
            m.Decode(source + pos, blocks * ba);
            pos += blocks * ba;
            take();
            if (m.HeldBytes() > 0) break;
        }
        if (!blockAlign && sourceSize - pos < ba && m.HeldBytes() == 0)
        {
            // A short last block: block codecs decode what is there, PCM drops the torn frame.
            if (sourceSize > pos && !m.plan.pcmLike) m.Decode(source + pos, sourceSize - pos);
            pos = sourceSize;
            m.Drain();
            take();
            finished = true;
        }
        r.sourceUsed = pos;
    }
    if (finished) m.atEnd = m.HeldBytes() == 0;
    return r;
}

bool ConversionStream::AtEnd() const
{
    return impl_->atEnd;
}
bool ConversionStream::HasHeldOutput() const
{
    return impl_->HeldBytes() > 0;
}

void ConversionStream::Reset()
{
    Impl& m = *impl_;
    avcodec_flush_buffers(m.ctx);
    if (m.parser)
    {
        av_parser_close(m.parser);
        m.parser = av_parser_init(m.plan.codec);
    }
    m.resampler.Reset();
    m.held.clear();
    m.heldFront = 0;
    m.atEnd = false;
}

} // namespace platform::acm

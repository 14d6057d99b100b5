#include "acmtest/codec_files.h"

#include "platform/little_endian.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace acmtest
{

std::vector<int16_t> Tone(int rate, int channels, int frames, double hz, double amplitude)
{
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(
                std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate + c * 0.7)));
    return out;
}

namespace
{

void Check(bool ok, const std::string& what)
{
    if (!ok) throw std::runtime_error("test encoder: " + what);
}

void FillFrame(AVFrame* frame, const std::vector<int16_t>& pcm, size_t first, int channels)
{
    const size_t total = pcm.size() / channels;
    for (int i = 0; i < frame->nb_samples; ++i)
    {
        for (int c = 0; c < channels; ++c)
        {
            const size_t at = first + i;
            const int16_t s = at < total ? pcm[at * channels + c] : 0;
            switch (frame->format)
            {
            case AV_SAMPLE_FMT_S16:
                reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = s;
                break;
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<int16_t*>(frame->data[c])[i] = s;
                break;
            case AV_SAMPLE_FMT_S32:
                reinterpret_cast<int32_t*>(frame->data[0])[i * channels + c] = s * 65536;
                break;
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float*>(frame->data[c])[i] = s / 32768.0f;
                break;
            default:
                throw std::runtime_error("test encoder: unhandled sample format");
            }
        }
    }
}

} // namespace

Encoded Encode(const std::string& name, uint16_t tag, int rate, int channels,
               const std::vector<int16_t>& pcm, int64_t bitRate)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    Check(codec != nullptr, "no encoder " + name);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = rate;
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_fmt = AV_SAMPLE_FMT_NONE;
    for (AVSampleFormat want : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_FLTP})
        for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == want && ctx->sample_fmt == AV_SAMPLE_FMT_NONE) ctx->sample_fmt = want;
    Check(ctx->sample_fmt != AV_SAMPLE_FMT_NONE, "no usable sample format for " + name);
    if (bitRate) ctx->bit_rate = bitRate;
    ctx->time_base = AVRational{1, rate};
    Check(avcodec_open2(ctx, codec, nullptr) >= 0, "cannot open " + name);

    Encoded out;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const int frameSize = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    const size_t total = pcm.size() / channels;
    const auto drain = [&]
    {
        while (avcodec_receive_packet(ctx, packet) >= 0)
        {
            size_t sideSize = 0;
            const uint8_t* side =
                av_packet_get_side_data(packet, AV_PKT_DATA_NEW_EXTRADATA, &sideSize);
            if (side) out.finalExtra.assign(side, side + sideSize);
            if (packet->size == 0)
            {
                av_packet_unref(packet);
                continue;
            }
            out.packets.emplace_back(packet->data, packet->data + packet->size);
            out.data.insert(out.data.end(), packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    };
    int64_t pts = 0;
    for (size_t first = 0; first < total; first += frameSize)
    {
        frame->nb_samples = frameSize;
        if (ctx->frame_size == 0 || (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME))
            frame->nb_samples = static_cast<int>(std::min<size_t>(frameSize, total - first));
        frame->format = ctx->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        frame->sample_rate = rate;
        frame->pts = pts;
        pts += frame->nb_samples;
        Check(av_frame_get_buffer(frame, 0) >= 0, "frame buffer");
        FillFrame(frame, pcm, first, channels);
        Check(avcodec_send_frame(ctx, frame) >= 0, "encode " + name);
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();

    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = static_cast<uint16_t>(channels);
    f.nSamplesPerSec = static_cast<uint32_t>(rate);
    f.nBlockAlign = static_cast<uint16_t>(ctx->block_align > 0 ? ctx->block_align : 1);
    f.wBitsPerSample = static_cast<uint16_t>(ctx->bits_per_coded_sample);
    if (ctx->bit_rate > 0)
        f.nAvgBytesPerSec = static_cast<uint32_t>(ctx->bit_rate / 8);
    else
        f.nAvgBytesPerSec = static_cast<uint32_t>(static_cast<int64_t>(rate) * f.nBlockAlign /
                                                  std::max(ctx->frame_size, 1));
    std::vector<uint8_t> extra(ctx->extradata, ctx->extradata + ctx->extradata_size);
    if (out.finalExtra.empty()) out.finalExtra = extra;
    if (tag == WAVE_FORMAT_MPEGLAYER3)
    {
        // The MPEG Layer-3 block's 12 extra bytes: id, flags, block size, frames, delay.
        extra.assign(12, 0);
        platform::StoreLE16(extra.data(), 1);
        platform::StoreLE32(extra.data() + 2, 2);
        platform::StoreLE16(extra.data() + 6,
                            static_cast<uint16_t>(out.packets.empty() ? 0 : out.packets[0].size()));
        platform::StoreLE16(extra.data() + 8, 1);
        platform::StoreLE16(extra.data() + 10, 1393);
    }
    out.format = platform::WaveFormatBlock(f, extra.data(), extra.size());
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    return out;
}

std::string Le16(uint16_t v)
{
    uint8_t b[2];
    platform::StoreLE16(b, v);
    return std::string(reinterpret_cast<char*>(b), 2);
}

std::string Le32(uint32_t v)
{
    uint8_t b[4];
    platform::StoreLE32(b, v);
    return std::string(reinterpret_cast<char*>(b), 4);
}

std::string Chunk(const std::string& id, const std::string& body)
{
    std::string c = id + Le32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() % 2) c.push_back('\0');
    return c;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> b(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        platform::StoreLE16(b.data() + 2 * i, static_cast<uint16_t>(samples[i]));
    return b;
}

std::string RiffFile(const platform::WaveFormatBlock& format, const std::vector<uint8_t>& data,
                     std::optional<uint32_t> fact)
{
    const std::vector<uint8_t> fmt = format.Serialize();
    std::string body = "WAVE" + Chunk("fmt ", std::string(fmt.begin(), fmt.end()));
    if (fact) body += Chunk("fact", Le32(*fact));
    body += Chunk("data", std::string(data.begin(), data.end()));
    return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

std::string FlacFile(const Encoded& flac)
{
    if (flac.finalExtra.size() < 34) throw std::runtime_error("test encoder: no STREAMINFO");
    std::string file = "fLaC";
    file += std::string("\x80\x00\x00\x22", 4); // last metadata block, STREAMINFO, 34 bytes
    file.append(reinterpret_cast<const char*>(flac.finalExtra.data()), 34);
    file.append(flac.data.begin(), flac.data.end());
    return file;
}

double AlignedSnr(const std::vector<int16_t>& ref, const std::vector<int16_t>& got, int channels,
                  int maxLag)
{
    const size_t refFrames = ref.size() / channels;
    const size_t gotFrames = got.size() / channels;
    double best = -1e9;
    for (int lag = 0; lag <= maxLag; ++lag)
    {
        if (gotFrames <= static_cast<size_t>(lag)) break;
        const size_t n = std::min(refFrames, gotFrames - lag);
        double signal = 0, noise = 0;
        for (size_t i = 0; i < n * channels; ++i)
        {
            const double r = ref[i];
            const double d = r - got[i + static_cast<size_t>(lag) * channels];
            signal += r * r;
            noise += d * d;
        }
        if (n < refFrames / 2) continue;
        const double snr = 10 * std::log10(signal / std::max(noise, 1e-9));
        best = std::max(best, snr);
    }
    return best;
}

} // namespace acmtest

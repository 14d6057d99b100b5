#include "recorder/mp3_file.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <memory>

namespace recorder
{

namespace
{

// The muxer writes into memory, so that the file reaches the disk whole. It seeks back at
// the end to fill in the frame count of the Xing header, which players take the length from.
struct Sink
{
    std::vector<uint8_t> bytes;
    int64_t pos = 0;

    int Write(const uint8_t* data, int size)
    {
        const size_t end = static_cast<size_t>(pos) + static_cast<size_t>(size);
        if (bytes.size() < end) bytes.resize(end);
        std::memcpy(bytes.data() + pos, data, static_cast<size_t>(size));
        pos = static_cast<int64_t>(end);
        return size;
    }
    int64_t Seek(int64_t offset, int whence)
    {
        const int64_t size = static_cast<int64_t>(bytes.size());
        if (whence & AVSEEK_SIZE) return size;
        const int64_t base = (whence & 3) == SEEK_CUR ? pos : (whence & 3) == SEEK_END ? size : 0;
        if (base + offset < 0) return AVERROR(EINVAL);
        return pos = base + offset;
    }
};

struct Deleter
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(AVFormatContext* f) const { avformat_free_context(f); }
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

std::string AvError(const char* what, int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

// The first of the encoder's sample formats that is 16-bit or float, planar or not.
AVSampleFormat PickFormat(const AVCodec* codec)
{
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16P || *f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_FLTP ||
            *f == AV_SAMPLE_FMT_FLT)
            return *f;
    return AV_SAMPLE_FMT_NONE;
}

// Copies `count` frames from `first` of the interleaved audio into the frame's layout.
void Fill(AVFrame* frame, const PcmAudio& audio, size_t first, int count)
{
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const bool flt = format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT;
    const unsigned channels = audio.channels;
    for (int i = 0; i < frame->nb_samples; ++i)
        for (unsigned c = 0; c < channels; ++c)
        {
            const int16_t s =
                i < count ? audio.samples[(first + static_cast<size_t>(i)) * channels + c] : 0;
            const size_t index = planar ? static_cast<size_t>(i) : i * channels + c;
            uint8_t* plane = frame->extended_data[planar ? c : 0];
            if (flt)
                reinterpret_cast<float*>(plane)[index] = static_cast<float>(s) / 32768.0f;
            else
                reinterpret_cast<int16_t*>(plane)[index] = s;
        }
}

} // namespace

bool Mp3FileBytes(const PcmAudio& audio, int bitRate, const Mp3Tags& tags,
                  std::vector<uint8_t>* out, std::string* why)
{
    if (audio.channels < 1 || audio.channels > 2 || audio.rate == 0)
    {
        *why = "MP3 takes mono or stereo sound";
        return false;
    }
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    if (!codec)
    {
        *why = "libavcodec has no MP3 encoder (libmp3lame)";
        return false;
    }
    const AVSampleFormat sampleFormat = PickFormat(codec);
    if (sampleFormat == AV_SAMPLE_FMT_NONE)
    {
        *why = "the MP3 encoder takes no 16-bit or float samples";
        return false;
    }

    AVFormatContext* rawFormat = nullptr;
    int rc = avformat_alloc_output_context2(&rawFormat, nullptr, "mp3", nullptr);
    std::unique_ptr<AVFormatContext, Deleter> mux(rawFormat);
    if (rc < 0)
    {
        *why = AvError("no MP3 muxer", rc);
        return false;
    }
    std::unique_ptr<AVCodecContext, Deleter> enc(avcodec_alloc_context3(codec));
    if (!enc)
    {
        *why = "out of memory";
        return false;
    }
    // The same sound makes the same file: no library versions in the tags.
    enc->flags |= AV_CODEC_FLAG_BITEXACT;
    mux->flags |= AVFMT_FLAG_BITEXACT;
    enc->sample_rate = static_cast<int>(audio.rate);
    enc->sample_fmt = sampleFormat;
    enc->bit_rate = bitRate;
    enc->time_base = AVRational{1, enc->sample_rate};
    av_channel_layout_default(&enc->ch_layout, static_cast<int>(audio.channels));
    if ((rc = avcodec_open2(enc.get(), codec, nullptr)) < 0)
    {
        *why = AvError("the MP3 encoder refuses the format", rc);
        return false;
    }

    Sink sink;
    constexpr int kBufferBytes = 4096;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    // Generic lambdas, because libavformat's write callback takes a const buffer only in
    // newer versions.
    std::unique_ptr<AVIOContext, Deleter> io(avio_alloc_context(
        buffer, kBufferBytes, 1, &sink, nullptr,
        [](void* s, auto* data, int size) { return static_cast<Sink*>(s)->Write(data, size); },
        [](void* s, int64_t offset, int whence)
        { return static_cast<Sink*>(s)->Seek(offset, whence); }));
    if (!io)
    {
        av_free(buffer);
        *why = "out of memory";
        return false;
    }
    mux->pb = io.get();
    mux->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVStream* stream = avformat_new_stream(mux.get(), nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, enc.get()) < 0)
    {
        *why = "cannot add the MP3 stream";
        return false;
    }
    stream->time_base = enc->time_base;
    for (const auto& [key, value] : tags)
        av_dict_set(&mux->metadata, key.c_str(), value.c_str(), 0);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "id3v2_version", "4", 0);
    rc = avformat_write_header(mux.get(), &options);
    av_dict_free(&options);
    if (rc < 0)
    {
        *why = AvError("cannot write the MP3 header", rc);
        return false;
    }

    std::unique_ptr<AVPacket, Deleter> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, Deleter> frame(av_frame_alloc());
    const auto drain = [&]() -> int
    {
        int r;
        while ((r = avcodec_receive_packet(enc.get(), packet.get())) >= 0)
        {
            av_packet_rescale_ts(packet.get(), enc->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if ((r = av_write_frame(mux.get(), packet.get())) < 0) return r;
        }
        return r == AVERROR(EAGAIN) || r == AVERROR_EOF ? 0 : r;
    };
    const size_t frames = audio.samples.size() / audio.channels;
    const bool smallLast = codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    for (size_t at = 0; at < frames && rc >= 0; at += static_cast<size_t>(enc->frame_size))
    {
        const int count =
            static_cast<int>(std::min(frames - at, static_cast<size_t>(enc->frame_size)));
        av_frame_unref(frame.get());
        frame->nb_samples = smallLast ? count : enc->frame_size;
        frame->format = enc->sample_fmt;
        frame->sample_rate = enc->sample_rate;
        frame->pts = static_cast<int64_t>(at);
        if ((rc = av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout)) < 0 ||
            (rc = av_frame_get_buffer(frame.get(), 0)) < 0)
            break;
        Fill(frame.get(), audio, at, count);
        if ((rc = avcodec_send_frame(enc.get(), frame.get())) >= 0) rc = drain();
    }
    if (rc >= 0 && (rc = avcodec_send_frame(enc.get(), nullptr)) >= 0) rc = drain();
    if (rc >= 0) rc = av_write_trailer(mux.get());
    if (rc < 0)
    {
        *why = AvError("MP3 encoding failed", rc);
        return false;
    }
    avio_flush(io.get());
    *out = std::move(sink.bytes);
    return true;
}

} // namespace recorder

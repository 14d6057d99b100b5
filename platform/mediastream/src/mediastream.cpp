#include "platform/mediastream.h"

#include "platform/s16_resampler.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace platform::mediastream
{

namespace
{

// Readers report failures themselves; the demuxers' and decoders' console chatter about
// damaged files is switched off.
void QuietLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

} // namespace

struct AudioStream::Impl
{
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    S16Resampler resampler;
    int streamIndex = -1;
    WAVEFORMATEX wave{};
    std::vector<uint8_t> pcm; // decoded, not yet delivered
    size_t pcmFront = 0;
    bool demuxEnd = false;
    bool decoderDrained = false;
    int64_t skipToFrame = -1; // after a seek: frames before this one are dropped
    uint8_t* bound = nullptr;
    size_t boundSize = 0;
    size_t actual = 0;

    ~Impl()
    {
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }

    size_t FrameBytes() const { return wave.nBlockAlign; }
    size_t Held() const { return pcm.size() - pcmFront; }

    // The frame's first sample, counted from the stream's start, or -1 when unknown.
    int64_t FirstFrameOf(const AVFrame* fr) const
    {
        const AVStream* st = format->streams[streamIndex];
        int64_t pts = fr->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) return -1;
        if (st->start_time != AV_NOPTS_VALUE) pts -= st->start_time;
        return av_rescale_q(pts, st->time_base,
                            AVRational{1, static_cast<int>(wave.nSamplesPerSec)});
    }

    void Append(AVFrame* fr)
    {
        if (fr->nb_samples <= 0) return;
        const size_t before = pcm.size();
        if (!resampler.Append(*fr, pcm)) return;
        if (skipToFrame >= 0)
        {
            const int64_t first = FirstFrameOf(fr);
            if (first >= 0 && first < skipToFrame)
            {
                const size_t drop = std::min<size_t>(
                    static_cast<size_t>(skipToFrame - first) * FrameBytes(), pcm.size() - before);
                pcm.erase(pcm.begin() + static_cast<ptrdiff_t>(before),
                          pcm.begin() + static_cast<ptrdiff_t>(before + drop));
                if (first + fr->nb_samples >= skipToFrame) skipToFrame = -1;
            }
            else
            {
                skipToFrame = -1;
            }
        }
    }

    void ReceiveAll()
    {
        while (avcodec_receive_frame(codec, frame) >= 0)
        {
            Append(frame);
            av_frame_unref(frame);
        }
    }

    // Decodes until at least `wanted` bytes are held or the stream has ended.
    bool Fill(size_t wanted)
    {
        while (Held() < wanted && !decoderDrained)
        {
            if (!demuxEnd)
            {
                const int rc = av_read_frame(format, packet);
                if (rc < 0)
                {
                    demuxEnd = true;
                    continue;
                }
                if (packet->stream_index == streamIndex && avcodec_send_packet(codec, packet) >= 0)
                    ReceiveAll();
                av_packet_unref(packet);
            }
            else
            {
                if (avcodec_send_packet(codec, nullptr) >= 0) ReceiveAll();
                resampler.Drain(pcm);
                decoderDrained = true;
            }
        }
        return true;
    }
};

AudioStream::AudioStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AudioStream::~AudioStream() = default;

std::unique_ptr<AudioStream> AudioStream::Open(const std::string& path, OpenError* error)
{
    QuietLog();
    const auto fail = [&](OpenError e)
    {
        if (error) *error = e;
        return nullptr;
    };
    auto m = std::make_unique<Impl>();
    if (avformat_open_input(&m->format, path.c_str(), nullptr, nullptr) < 0)
        return fail(OpenError::cannotOpen);
    if (avformat_find_stream_info(m->format, nullptr) < 0) return fail(OpenError::cannotOpen);
    const AVCodec* decoder = nullptr;
    m->streamIndex = av_find_best_stream(m->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m->streamIndex < 0 || !decoder) return fail(OpenError::noAudioStream);
    const AVCodecParameters* par = m->format->streams[m->streamIndex]->codecpar;
    const int channels = par->ch_layout.nb_channels;
    if (channels <= 0 || channels > 16 || par->sample_rate <= 0)
        return fail(OpenError::noAudioStream);
    m->codec = avcodec_alloc_context3(decoder);
    m->packet = av_packet_alloc();
    m->frame = av_frame_alloc();
    if (!m->codec || !m->packet || !m->frame) return fail(OpenError::cannotOpen);
    if (avcodec_parameters_to_context(m->codec, par) < 0 ||
        avcodec_open2(m->codec, decoder, nullptr) < 0)
        return fail(OpenError::noAudioStream);
    // Only the primary audio stream is demuxed.
    for (unsigned i = 0; i < m->format->nb_streams; ++i)
        if (static_cast<int>(i) != m->streamIndex) m->format->streams[i]->discard = AVDISCARD_ALL;
    m->wave =
        MakePcmFormat(static_cast<uint32_t>(par->sample_rate), static_cast<uint16_t>(channels));
    m->resampler.SetOutput(par->sample_rate, channels);
    if (error) *error = OpenError::none;
    return std::unique_ptr<AudioStream>(new AudioStream(std::move(m)));
}

int64_t AudioStream::Duration() const
{
    const AVFormatContext* f = impl_->format;
    if (f->duration != AV_NOPTS_VALUE && f->duration > 0)
        return av_rescale(f->duration, kUnitsPerSecond, AV_TIME_BASE);
    const AVStream* st = f->streams[impl_->streamIndex];
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        return av_rescale_q(st->duration, st->time_base, AVRational{1, kUnitsPerSecond});
    return 0;
}

bool AudioStream::SupportsSeek() const
{
    const AVFormatContext* f = impl_->format;
    return f->pb && (f->pb->seekable & AVIO_SEEKABLE_NORMAL) && Duration() > 0;
}

const WAVEFORMATEX& AudioStream::Format() const
{
    return impl_->wave;
}

std::string AudioStream::Description() const
{
    const AVCodecParameters* par = impl_->format->streams[impl_->streamIndex]->codecpar;
    const AVCodecDescriptor* d = avcodec_descriptor_get(par->codec_id);
    return std::string(d ? d->name : "unknown") + ", " + std::to_string(par->sample_rate) +
           " Hz, " + std::to_string(par->ch_layout.nb_channels) +
           (par->ch_layout.nb_channels == 1 ? " channel" : " channels");
}

bool AudioStream::SetBuffer(uint8_t* buffer, size_t size)
{
    if (!buffer || size < impl_->FrameBytes()) return false;
    impl_->bound = buffer;
    impl_->boundSize = size - size % impl_->FrameBytes();
    return true;
}

UpdateStatus AudioStream::Update(Event* completed)
{
    Impl& m = *impl_;
    m.actual = 0;
    if (!m.bound) return UpdateStatus::invalidArgument;
    m.Fill(m.boundSize);
    const size_t n = std::min(m.Held(), m.boundSize);
    if (n == 0) return UpdateStatus::endOfStream;
    std::memcpy(m.bound, m.pcm.data() + m.pcmFront, n);
    m.pcmFront += n;
    if (m.pcmFront == m.pcm.size()) m.pcm.clear(), m.pcmFront = 0;
    // Keep the held tail from growing without bound when the buffer is small.
    if (m.pcmFront > (1u << 20))
    {
        m.pcm.erase(m.pcm.begin(), m.pcm.begin() + static_cast<ptrdiff_t>(m.pcmFront));
        m.pcmFront = 0;
    }
    m.actual = n;
    if (completed) completed->Set();
    return UpdateStatus::ok;
}

size_t AudioStream::ActualLength() const
{
    return impl_->actual;
}

bool AudioStream::Seek(int64_t time)
{
    Impl& m = *impl_;
    if (!SupportsSeek() || time < 0) return false;
    const AVStream* st = m.format->streams[m.streamIndex];
    int64_t ts = av_rescale_q(time, AVRational{1, kUnitsPerSecond}, st->time_base);
    if (st->start_time != AV_NOPTS_VALUE) ts += st->start_time;
    if (av_seek_frame(m.format, m.streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(m.codec);
    m.resampler.Reset();
    m.pcm.clear();
    m.pcmFront = 0;
    m.demuxEnd = false;
    m.decoderDrained = false;
    m.skipToFrame = av_rescale(time, m.wave.nSamplesPerSec, kUnitsPerSecond);
    return true;
}

} // namespace platform::mediastream

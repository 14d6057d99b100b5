#include "platform/media_probe.h"

#include <strings.h>

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

struct FormatCloser
{
    AVFormatContext* format = nullptr;
    ~FormatCloser() { avformat_close_input(&format); }
};

void AddTags(const AVDictionary* dict, std::vector<std::pair<std::string, std::string>>& tags)
{
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr)
        tags.emplace_back(e->key, e->value);
}

bool Complete(const AVCodecParameters* par)
{
    return par->sample_rate > 0 && par->ch_layout.nb_channels > 0 &&
           par->codec_id != AV_CODEC_ID_NONE;
}

} // namespace

std::string MediaInfo::Tag(std::string_view key) const
{
    for (const auto& [k, v] : tags)
        if (k.size() == key.size() && strncasecmp(k.data(), key.data(), key.size()) == 0) return v;
    return {};
}

std::optional<MediaInfo> Probe(const std::string& path, OpenError* error)
{
    av_log_set_level(AV_LOG_QUIET);
    const auto fail = [&](OpenError e)
    {
        if (error) *error = e;
        return std::nullopt;
    };
    FormatCloser f;
    if (avformat_open_input(&f.format, path.c_str(), nullptr, nullptr) < 0)
        return fail(OpenError::cannotOpen);
    int index = av_find_best_stream(f.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    // Containers without a header (raw AAC, AMR...) tell rate and channels only from the
    // packets, and a stream without a length in its header (MP3 without a frame index) gets
    // one estimated from them; only those read packets, the others stop at the header.
    if (index < 0 || !Complete(f.format->streams[index]->codecpar) ||
        (f.format->duration == AV_NOPTS_VALUE &&
         f.format->streams[index]->duration == AV_NOPTS_VALUE))
    {
        if (avformat_find_stream_info(f.format, nullptr) < 0) return fail(OpenError::cannotOpen);
        index = av_find_best_stream(f.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    }
    if (index < 0) return fail(OpenError::noAudioStream);
    const AVStream* st = f.format->streams[index];
    const AVCodecParameters* par = st->codecpar;
    if (!Complete(par) || par->ch_layout.nb_channels > 16 || !avcodec_find_decoder(par->codec_id))
        return fail(OpenError::noAudioStream);

    MediaInfo info;
    info.container = f.format->iformat->name;
    const AVCodecDescriptor* d = avcodec_descriptor_get(par->codec_id);
    info.codec = d ? d->name : "unknown";
    info.sampleRate = static_cast<uint32_t>(par->sample_rate);
    info.channels = static_cast<uint16_t>(par->ch_layout.nb_channels);
    if (f.format->duration != AV_NOPTS_VALUE && f.format->duration > 0)
        info.duration = av_rescale(f.format->duration, kUnitsPerSecond, AV_TIME_BASE);
    else if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        info.duration = av_rescale_q(st->duration, st->time_base, AVRational{1, kUnitsPerSecond});
    AddTags(f.format->metadata, info.tags);
    AddTags(st->metadata, info.tags);
    if (error) *error = OpenError::none;
    return info;
}

} // namespace platform::mediastream

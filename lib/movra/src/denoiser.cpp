#include "movra/denoiser.h"

#include "movra/movra.h"

#include "chain_refill.h"
#include "numera/clear_voice.h"

#include <algorithm>

OBJ_DENOISER::OBJ_DENOISER() : HISTORY_OBJECT(MOVRA::OBJ_ID_DENOISER, 8000), produced_(2)
{
    for (auto& s : states_)
        s = std::make_unique<numera::Broadband_noise>();
    Reinit();
}

OBJ_DENOISER::~OBJ_DENOISER()
{
    for (auto& s : states_)
        numera::clear_voice_finish(s.get(), nullptr, nullptr);
}

void OBJ_DENOISER::Reinit()
{
    ready_ = true;
    for (size_t c = 0; c < 2; ++c)
    {
        numera::Broadband_noise* s = states_[c].get();
        numera::clear_voice_finish(s, nullptr, nullptr);
        int latency = 0;
        if (numera::init_clear_voice_struct(s, static_cast<int>(Rate()), 1) != 0)
        {
            ready_ = false;
            continue;
        }
        s->suppression_depth = static_cast<int>(level_ / 1000);
        s->option_flag = mode_ ? 0 : 1;
        numera::clear_voice_start(s, nullptr, 0, &latency);
        skip_[c] = static_cast<size_t>(latency);
    }
    started_ = false;
}

void OBJ_DENOISER::NotifyState()
{
    Host().OnDenoiser(mode_, level_);
}

void OBJ_DENOISER::Set(long mode, long level)
{
    if ((mode == 1) == mode_ && level == level_) return;
    mode_ = mode == 1;
    level_ = std::clamp(level, kMinLevel, kMaxLevel);
    Reinit();
    NotifyState();
}

long OBJ_DENOISER::Process(SMSG& msg)
{
    if (!IsEnabled()) return TONEXT;
    const bool end = msg.eof;
    if (end && msg.Frames() == 0)
    {
        if (!started_)
        {
            Reinit();
            return TONEXT;
        }
        msg.rate = Rate(); // an empty end mark carries what is held
        msg.channels = channels_;
    }
    if (!end && PassesThrough(msg)) return TONEXT;
    if (!ready_ || msg.channels < 1 || msg.channels > 2 || (end && msg.rate != Rate()))
    {
        if (end) Reinit();
        return TONEXT;
    }
    if (started_ && msg.channels != channels_) Reinit(); // both states must hold the same
    channels_ = msg.channels;
    if (!started_)
    {
        next_ = msg.start;
        started_ = true;
    }
    produced_.resize(msg.channels);
    const int count = static_cast<int>(msg.Frames());
    for (unsigned long c = 0; c < msg.channels; ++c)
    {
        numera::Broadband_noise* s = states_[c].get();
        const size_t frame = static_cast<size_t>(s->frame);
        // Whole frames plus two: room for every frame this input can complete; at the end
        // two more for what the suppressor still holds.
        buffer_.assign((static_cast<size_t>(count) / frame + (end ? 4 : 2)) * frame, 0);
        const int16_t* in = msg.Channel(c);
        int done = 0, made = 0;
        while (done < count && buffer_.size() - static_cast<size_t>(made) >= frame)
        {
            int used = 0, out = 0;
            if (numera::clear_voice_process(s, in + done, count - done, &used,
                                            buffer_.data() + made, &out) != 0)
                break;
            done += used;
            made += out;
        }
        if (end)
        {
            int tail = 0;
            numera::clear_voice_finish(s, buffer_.data() + made, &tail);
            made += tail;
        }
        std::vector<int16_t>& out = produced_[c];
        const size_t drop = std::min(skip_[c], static_cast<size_t>(made));
        out.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(drop), buffer_.begin() + made);
        skip_[c] -= drop;
    }
    const RNUMBER64 start = next_;
    const size_t frames = produced_[0].size();
    next_ += RNUMBER64(static_cast<int64_t>(frames), Rate());
    long result = TONEXT;
    if (frames > 0 || end)
        RefillMessage(msg, produced_, start);
    else
        result = REMOVE;
    produced_.resize(2);
    if (end) Reinit();
    return result;
}

#include "movra/denoiser.h"

#include "movra/object_ids.h"

#include "numera/clear_voice.h"

#include <algorithm>

OBJ_DENOISER::OBJ_DENOISER() : HELD_OBJECT(movra_object::OBJ_ID_DENOISER, 8000)
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
    size_t delay[2] = {0, 0};
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
        delay[c] = static_cast<size_t>(latency);
    }
    Restart(delay[0], delay[1]);
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
    if (!Admit(msg)) return TONEXT;
    const bool end = msg.eof;
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
        produced_[c].assign(buffer_.begin(), buffer_.begin() + made);
    }
    return Deliver(msg);
}

#include "chain_refill.h"

void RefillMessage(SMSG& msg, const std::vector<std::vector<int16_t>>& channels,
                   const RNUMBER64& start)
{
    const size_t frames = channels.empty() ? 0 : channels[0].size();
    const bool eof = msg.eof;
    msg.Assign(msg.rate, static_cast<unsigned long>(channels.size()), frames, start);
    msg.eof = eof;
    for (size_t c = 0; c < channels.size(); ++c)
        std::copy(channels[c].begin(), channels[c].begin() + static_cast<std::ptrdiff_t>(frames),
                  msg.samples.begin() + static_cast<std::ptrdiff_t>(c * frames));
}

void MonoMix(const SMSG& msg, std::vector<int16_t>& mono)
{
    const size_t frames = msg.Frames();
    mono.assign(frames, 0);
    if (msg.channels == 0) return;
    const long n = static_cast<long>(msg.channels);
    for (size_t i = 0; i < frames; ++i)
    {
        long sum = 0;
        for (unsigned long c = 0; c < msg.channels; ++c)
            sum += msg.Channel(c)[i];
        mono[i] = static_cast<int16_t>(sum / n);
    }
}

#include "platform/pedals.h"

#include <linux/input.h>

#include <algorithm>
#include <cstring>

namespace platform::pedals
{

namespace
{
// A device with more keys than this is a keyboard, whatever its maker calls it.
constexpr size_t kMostPedalKeys = 8;

// What the programmable foot switches send as they come: their keys, left to right.
constexpr uint16_t kTriples[][kPedals] = {
    {KEY_A, KEY_B, KEY_C},
    {BTN_LEFT, BTN_MIDDLE, BTN_RIGHT},
    {BTN_0, BTN_1, BTN_2},
};
} // namespace

PedalDecoder::PedalDecoder(std::vector<uint16_t> keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (!keys.empty() && keys.size() <= kMostPedalKeys) ranked_ = std::move(keys);
}

int PedalDecoder::PedalOf(uint16_t code) const
{
    if (!ranked_.empty())
    {
        const auto it = std::find(ranked_.begin(), ranked_.end(), code);
        const auto rank = it - ranked_.begin();
        return it != ranked_.end() && rank < kPedals ? int(rank) : -1;
    }
    for (const auto& triple : kTriples)
        for (int p = 0; p < kPedals; ++p)
            if (triple[p] == code) return p;
    return -1;
}

std::vector<PedalChange> PedalDecoder::Feed(const uint8_t* bytes, size_t count)
{
    std::vector<PedalChange> changes;
    partial_.insert(partial_.end(), bytes, bytes + count);
    size_t at = 0;
    for (; partial_.size() - at >= sizeof(input_event); at += sizeof(input_event))
    {
        input_event e;
        std::memcpy(&e, partial_.data() + at, sizeof e);
        if (e.type != EV_KEY || (e.value != 0 && e.value != 1)) continue;
        const int p = PedalOf(e.code);
        if (p < 0 || down_[size_t(p)] == (e.value == 1)) continue;
        down_[size_t(p)] = e.value == 1;
        changes.push_back({Pedal(p), e.value == 1});
    }
    partial_.erase(partial_.begin(), partial_.begin() + std::ptrdiff_t(at));
    return changes;
}

std::vector<PedalChange> PedalDecoder::ReleaseAll()
{
    std::vector<PedalChange> changes;
    for (int p = 0; p < kPedals; ++p)
        if (down_[size_t(p)])
        {
            down_[size_t(p)] = false;
            changes.push_back({Pedal(p), false});
        }
    partial_.clear();
    return changes;
}

} // namespace platform::pedals

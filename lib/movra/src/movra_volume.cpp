// MOVRA's output volume and balance: set on the card, reported as the card took them.
#include "movra/movra.h"

#include "faltor/journal.h"
#include "movra/sb_output_card.h"

#include <algorithm>

namespace
{

// The getters ask the card, journalled by their name, but answer what the core last took.
void AskCardVolume(SB_OUTPUT_CARD& card, const char* getter)
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: GetVolume() %s in", getter);
    VOLUME_LEVEL back{};
    card.GetVolume(0, &back);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: GetVolume() %s out", getter);
}

} // namespace

bool MOVRA::ASetVolume(const OUT_LEVEL_BALANCE& value)
{
    VOLUME_LEVEL volume{value.level, value.balance};
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: SetVolume()");
    card_->SetVolume(0, &volume);
    VOLUME_LEVEL back{};
    if (card_->GetVolume(0, &back)) volumeBalance_.Set({back.level, back.balance});
    Host().OnVolumeBalanceChange(volumeBalance_.Get().level, volumeBalance_.Get().balance);
    return true;
}

bool MOVRA::ASetGain(long volume)
{
    return ASetVolume({std::clamp(volume, 0L, 100L), volumeBalance_.Get().balance});
}

bool MOVRA::ASetBalance(long balance)
{
    return ASetVolume({volumeBalance_.Get().level, std::clamp(balance, -10L, 10L)});
}

bool MOVRA::AGetGain(long& volume) const
{
    AskCardVolume(*card_, "AGetGain");
    volume = volumeBalance_.Get().level;
    return true;
}

bool MOVRA::AGetBalance(long& balance) const
{
    AskCardVolume(*card_, "AGetBalance");
    balance = volumeBalance_.Get().balance;
    return true;
}

// MOVRA::CRender: the file chain without the card, for offline processing. It reads the
// source and runs the objects exactly as the worker cycle does; only the card's pacing is
// left out, and the caller's thread does the work.
#include "movra/movra.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "movra/bobject.h"
#include "movra/datasrc_file.h"

bool MOVRA::CRender(RENDER_SINK& sink)
{
    JOURNAL_LOG(JOURNAL::LEVEL_DEBUG, "%s", DEBUG_INFO("MOVRA::CRender").c_str());
    {
        LOCK_GUARD guard(lock_);
        if (rendering_ || !FileOpen() || active_ != fileSource_.get() ||
            playState_.Get() != STATE_STOPPED || fileSource_->IsRing())
            return false;
        rendering_ = true;
        endOfFile_.Reset();
    }
    bool ended = false, stopped = false;
    try
    {
        while (!ended && !stopped)
            ended = RenderStep(sink, stopped);
    }
    catch (...)
    {
        LOCK_GUARD guard(lock_);
        rendering_ = false;
        ClearLists();
        endOfFile_.Reset();
        throw;
    }
    LOCK_GUARD guard(lock_);
    rendering_ = false;
    if (stopped)
    {
        // The objects may hold sound of the abandoned run; what is queued goes.
        ClearLists();
        endOfFile_.Reset();
        return false;
    }
    ASetPos(0);
    return true;
}

bool MOVRA::RenderStep(RENDER_SINK& sink, bool& stopped)
{
    LOCK_GUARD guard(lock_);
    if (!FileOpen() || active_ != fileSource_.get() || playState_.Get() != STATE_STOPPED)
    {
        stopped = true;
        return false;
    }
    SMSG_LIST& first = fileChain_.begin()->second->Input();
    const size_t queued = first.size();
    std::string why;
    if (!ReadSource(first, collectStep_, why))
        throw RUNTIME_ERROR(DEBUG_INFO(("MOVRA::CRender: " + why).c_str()));
    if (!endOfFile_.Get() && first.size() == queued)
    {
        // Nothing more is written yet: the run ends here, and the end mark (the empty read,
        // which carries the position, rate and channels) lets the objects give out what they
        // hold.
        readMsg_.eof = true;
        first.push_back(std::make_unique<SMSG>(readMsg_));
        endOfFile_.Set(true);
    }
    ProcessObjects();
    while (!outputQueue_.empty())
    {
        const std::unique_ptr<SMSG> msg = std::move(outputQueue_.front());
        outputQueue_.pop_front();
        position_.Set(CappedPosition(msg->start));
        if (!sink.Take(*msg))
        {
            stopped = true;
            return false;
        }
    }
    // The chain runs everything handed to it in one pass, so the end mark is through.
    return endOfFile_.Get();
}

#include "movra/bobject.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"

void BASEOBJECT::Enable()
{
    if (enabled_) return;
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "ENABLE OBJ=%li", id_);
    enabled_ = 1;
}

void BASEOBJECT::Disable()
{
    if (!enabled_) return;
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DISABLE OBJ=%li", id_);
    enabled_ = 0;
}

MOVRA_NOTIFY& BASEOBJECT::Host() const
{
    if (!host_) throw LOGIC_ERROR(DEBUG_INFO(id_, "processing object: no host interface"));
    return *host_;
}

bool HISTORY_OBJECT::PassesThrough(SMSG& msg)
{
    if (!IsEnabled()) return true;
    if (msg.eof)
    {
        Reinit();
        return true;
    }
    if (msg.rate > 0 && msg.rate != rate_)
    {
        rate_ = msg.rate;
        Reinit();
    }
    return false;
}

void ProcessChain(const std::map<long, BASEOBJECT*>& chain, SMSG_LIST& output)
{
    for (auto it = chain.begin(); it != chain.end(); ++it)
    {
        BASEOBJECT& object = *it->second;
        SMSG_LIST& input = object.Input();
        while (!input.empty())
        {
            std::unique_ptr<SMSG>& front = input.front();
            const long result = object.Process(*front);
            switch (result)
            {
            case TONEXT:
                JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "OBJID=%li TONEXT", object.Id());
                object.Output().splice(object.Output().end(), input, input.begin());
                break;
            case REMOVE:
                JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "OBJID=%li REMOVE", object.Id());
                input.pop_front();
                break;
            case CAPTURE:
                // The object has moved the contents into its own keeping; the shell goes.
                JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "OBJID=%li CAPTURE", object.Id());
                input.pop_front();
                break;
            default:
                JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "ProcessObjects LOGIC_ERROR");
                throw LOGIC_ERROR(DEBUG_INFO(object.Id(), result, "ProcessObjects LOGIC_ERROR"));
            }
        }
        auto next = std::next(it);
        SMSG_LIST& target = next == chain.end() ? output : next->second->Input();
        target.splice(target.end(), object.Output());
    }
}

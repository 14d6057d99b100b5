// DATASRC: where the player core's worker gets its sound. The worker asks the active source
// for about 20 ms at a time (`Read`) and gets it back as one SMSG.
//
// The slots follow the file source (DATASRC_FILE), which implements all ten. The monitoring
// source (DATASRC_MONITORING) has no length, seeking or ring; it keeps the defaults below,
// which refuse (false), and adds its own Open and Put. Every source is used only with the
// core's lock held.
//
// Beyond these slots the core calls these non-virtual operations of DATASRC_FILE:
//     bool Open(const std::vector<std::wstring>& entries);   // the list given to COpenFile
//     bool GetFileNames(std::vector<std::wstring>& names) const; // open files, opening order
//     bool GetSampleRate(long& rate) const;         // of the first reader
//     bool GetChannelsCount(long& channels) const;  // channels of a message it reads
//     bool GetFormat(std::string& format) const;    // of the first reader
//     std::wstring GetReadingName() const;          // for the error text of a failed read
#pragma once

#include "movra/smsg.h"

class DATASRC
{
public:
    virtual ~DATASRC() = default;

    // 0: closes the source; true also when it was not open.
    virtual bool Close() = 0;
    // 1
    virtual bool IsOpen() const = 0;
    // 2: clears `msg` and fills it with up to `wanted` of sound from the current position;
    // false when the source is not open. A reader failure throws.
    virtual bool Read(SMSG& msg, const RNUMBER64& wanted) = 0;
    // 3: the length of the source.
    virtual bool Size(RNUMBER64& length)
    {
        (void)length;
        return false;
    }
    // 4: moves to `target`; `reached` is where the source actually is.
    virtual bool Seek(const RNUMBER64& target, RNUMBER64& reached)
    {
        (void)target, (void)reached;
        return false;
    }
    // 5: loops [from, to) from now on and moves to `from`.
    virtual bool RingOn(const RNUMBER64& from, const RNUMBER64& to)
    {
        (void)from, (void)to;
        return false;
    }
    // 6: the looped stretch; false when not ringing.
    virtual bool GetRing(RNUMBER64& from, RNUMBER64& to) const
    {
        (void)from, (void)to;
        return false;
    }
    // 7: leaves ring mode.
    virtual bool RingOff() { return false; }
    // 8
    virtual bool IsRing() const { return false; }
    // 9: `length` is the current length; true when it grew since the last call (a file that
    // is still being written).
    virtual bool SizeChanged(RNUMBER64& length)
    {
        (void)length;
        return false;
    }
};

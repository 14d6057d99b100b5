// DATASRC_FILE_WORKER: the reader of one sound file inside the file source. Two readers
// exist: WAVE_FILE_READER_NATIVE (the core's own RIFF reader, movra/wav_file.h) and
// WAVE_FILE_READER_ODK (through the sound file library, movra/odk_worker.h). The file source
// uses them only through these fourteen slots, in this order.
//
// Times and sizes are seconds (RNUMBER64). A reader turns a wanted size into whole frames of
// its own rate (rounded down); what it delivers is exact. Samples are interleaved signed
// 16-bit, channel count per frame.
#pragma once

#include "templates/r_number.h"

#include <string>

class DATASRC_FILE_WORKER
{
public:
    // 0
    virtual ~DATASRC_FILE_WORKER();
    // 1: moves to `target` (clamped to the file); `reached` is where the reader now is. A
    // seek also clears the end flag: the end is found again by reading.
    virtual bool Seek(const RNUMBER64& target, RNUMBER64& reached) = 0;
    // 2: reads up to `wanted` from the current position. `position` receives where the
    // samples start, `wanted` the size actually asked of the file (whole frames), `read`
    // what was delivered. At the end `read` is 0 and the end flag is raised. The samples are
    // at GetBuffer() until the next call.
    virtual bool Read(RNUMBER64& position, RNUMBER64& wanted, RNUMBER64& read) = 0;
    // 3
    virtual unsigned GetChannelsCount() const = 0;
    // 4
    virtual unsigned GetSampleRate() const = 0;
    // 5
    virtual bool IsSeekSupported() = 0;
    // 6
    virtual const short* GetBuffer() const = 0;
    // 7
    virtual void GetName(std::wstring& name) const = 0;
    // 8
    virtual void ClearEOF() = 0;
    // 9
    virtual bool IsEOF() const = 0;
    // 10
    virtual bool Size(RNUMBER64& length) = 0;
    // 11
    virtual bool Tell(RNUMBER64& position) const = 0;
    // 12: the format description shown to the user.
    virtual void GetFormat(std::string& format) const = 0;
    // 13: true for the reader working through the sound file library.
    virtual bool IsLibraryReader() const = 0;
};

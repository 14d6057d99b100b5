// DATASRC_FILE: the file source. It plays one or several files side by side (a message
// holds the channels of every file, the first file's first), is as long as the longest,
// and can loop a stretch ("ring"). Entries are "name<>offset" with the start offset in
// milliseconds (the separator and the offset may be left out).
//
// Each file gets a reader chosen by the host's open strategy (movra/open_strategy.h):
// the native RIFF reader unless the file is MPEG coded, else the reader through the sound
// file library. A ".DCT" file is first converted to a ".WAV" beside it by the outside
// program `etools` (looked up on PATH, given the two names), which is not part of the
// system. No reader for a file: RUNTIME_ERROR "Failed to open <name>"; the files opened so
// far are closed again, so a failed Open leaves the source closed.
//
// Positions are those of the first file. Readers at other rates are mapped onto the first
// file's rate by taking the sample that plays at each instant.
#pragma once

#include "movra/datasrc.h"
#include "movra/datasrc_file_worker.h"

#include <memory>
#include <string>
#include <vector>

class DATASRC_FILE : public DATASRC
{
public:
    DATASRC_FILE();
    ~DATASRC_FILE() override;
    DATASRC_FILE(const DATASRC_FILE&) = delete;
    DATASRC_FILE& operator=(const DATASRC_FILE&) = delete;

    // false for an empty list or an empty entry; LOGIC_ERROR when open already.
    bool Open(const std::vector<std::wstring>& entries);

    bool Close() override;
    bool IsOpen() const override;
    // Throws RUNTIME_ERROR when a reader fails (GetReadingName names it).
    bool Read(SMSG& msg, const RNUMBER64& wanted) override;
    bool Size(RNUMBER64& length) override;
    // LOGIC_ERROR when closed.
    bool Seek(const RNUMBER64& target, RNUMBER64& reached) override;
    bool RingOn(const RNUMBER64& from, const RNUMBER64& to) override;
    bool GetRing(RNUMBER64& from, RNUMBER64& to) const override;
    // LOGIC_ERROR when not ringing.
    bool RingOff() override;
    bool IsRing() const override;
    bool SizeChanged(RNUMBER64& length) override;

    bool GetFileNames(std::vector<std::wstring>& names) const;
    bool GetSampleRate(long& rate) const;
    // All readers' channels together: the channels of a message.
    bool GetChannelsCount(long& channels) const;
    bool GetFormat(std::string& format) const;
    std::wstring GetReadingName() const { return readingName_; }

    // The reader of the i-th open file (null past the end).
    const DATASRC_FILE_WORKER* Worker(size_t i) const;

    // Builds the reader for one file (see above).
    static std::unique_ptr<DATASRC_FILE_WORKER> Construct(const std::wstring& name,
                                                          unsigned offsetMs);

private:
    // Reads one stretch of at most `wanted` into `msg`; false when every reader is at its end.
    bool ReadOnce(SMSG& msg, const RNUMBER64& wanted);
    void SeekAll(const RNUMBER64& target, RNUMBER64& reached, bool mustSucceed);

    RNUMBER64 ringStart_;
    RNUMBER64 ringEnd_;
    std::vector<std::unique_ptr<DATASRC_FILE_WORKER>> workers_;
    std::vector<std::wstring> names_;
    RNUMBER64 position_;
    bool eof_ = false;
    std::wstring readingName_;
};

// Converts a ".DCT" file to the ".WAV" file of the same name with `etools` and returns that
// name. RUNTIME_ERROR "Get_DCT_SoundFile: ..." when the name or the file is wrong or the
// conversion fails.
std::wstring Get_DCT_SoundFile(const std::wstring& name);

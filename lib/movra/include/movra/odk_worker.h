// WAVE_FILE_READER_ODK: a file reader of the file source that reads through the sound file
// library's input streams, for the files the native RIFF reader does not take (compressed
// formats in other containers, MPEG in RIFF, ...).
//
// Unless the open strategy is "DX", the file is first opened with the library's RIFF reader;
// when that gives no stream (or with "DX") an open task on a thread of its own
// ("DX_WorkerThread_Task") opens it with the library's media reader, and the constructor
// waits for it. A reader that ends without a stream has IsOpen() false and length 0; the
// file source rejects it. Access to the stream is serialised by the reader's own lock.
#pragma once

#include "basix/locker.h"
#include "movra/datasrc_file_worker.h"

#include <memory>
#include <string>
#include <vector>

class InputSoundFileStream;
class DX_OPEN_TASK;

class WAVE_FILE_READER_ODK : public DATASRC_FILE_WORKER
{
public:
    // `strategy` as in movra/open_strategy.h; the two-argument form reads the host's.
    WAVE_FILE_READER_ODK(const std::wstring& name, unsigned offsetMs);
    WAVE_FILE_READER_ODK(const std::wstring& name, unsigned offsetMs, int strategy);
    ~WAVE_FILE_READER_ODK() override;
    WAVE_FILE_READER_ODK(const WAVE_FILE_READER_ODK&) = delete;
    WAVE_FILE_READER_ODK& operator=(const WAVE_FILE_READER_ODK&) = delete;

    bool Seek(const RNUMBER64& target, RNUMBER64& reached) override;
    bool Read(RNUMBER64& position, RNUMBER64& wanted, RNUMBER64& read) override;
    unsigned GetChannelsCount() const override;
    unsigned GetSampleRate() const override;
    bool IsSeekSupported() override;
    const short* GetBuffer() const override;
    void GetName(std::wstring& name) const override;
    void ClearEOF() override;
    bool IsEOF() const override;
    bool Size(RNUMBER64& length) override;
    bool Tell(RNUMBER64& position) const override;
    void GetFormat(std::string& format) const override;
    bool IsLibraryReader() const override { return true; }

    bool IsOpen() const;
    // Whether the open task had to be used.
    bool UsedOpenTask() const { return usedTask_; }

private:
    bool SetPosition(const RNUMBER64& target, RNUMBER64& reached);

    mutable CS_LOCKER lock_;
    std::wstring name_;
    std::unique_ptr<InputSoundFileStream> stream_;
    std::unique_ptr<DX_OPEN_TASK> task_;
    bool usedTask_ = false;
    unsigned rate_ = 0, channels_ = 0;
    int64_t samples_ = 0;
    RNUMBER64 length_;
    int64_t position_ = 0; // frames
    bool eof_ = false;
    std::string format_;
    std::vector<short> buffer_;
};

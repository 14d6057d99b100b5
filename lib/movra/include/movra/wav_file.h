// The core's own RIFF WAVE file classes.
//
// WAVE_FILE opens an existing file and hands out its sound as interleaved 16-bit PCM,
// whatever the file's coding (through CODEC_CONVERTER), or creates a new file and writes
// into it. It follows a file that someone else is still writing: before each read it looks
// at the file size, and growth at the end of the data chunk becomes more sound.
// WAVE_FILE_READER buffers the stretch last read and tracks the end of the file;
// WAVE_FILE_READER_NATIVE is that reader as a DATASRC_FILE_WORKER of the file source.
//
// Opening throws RUNTIME_ERROR when the file cannot be opened, a chunk header or the format
// record cannot be read, the format record is larger than 998 bytes or the format cannot be
// decoded; LOGIC_ERROR for a file that is not RIFF WAVE, lacks "fmt " or "data", or whose
// length cannot be worked out ("Missing CHUNK_FACT"). Unknown chunks are journalled and
// skipped. A chunk with an odd size may be followed by the RIFF pad byte; it is skipped.
//
// Times are seconds (RNUMBER64) of the file's own rate; sizes asked for are rounded down
// to whole frames.
#pragma once

#include "basix/x_file.h"
#include "movra/datasrc_file_worker.h"
#include "platform/wave_format.h"
#include "templates/r_number.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CODEC_CONVERTER;
class CHUNK;
class RIFF_CHUNK;
class FMT_CHUNK;
class FACT_CHUNK;
class DATA_CHUNK;

namespace platform::riff
{
struct Chunk;
}

class WAVE_FILE
{
public:
    // Opens `name` for reading.
    explicit WAVE_FILE(const std::wstring& name);
    // Creates (or truncates) `name` and writes its headers. `fileFormat` is the coding of
    // the file and must be PCM; Write takes sound in `inputFormat`, converted to the file's
    // format (any format CODEC_CONVERTER decodes, same rate and channels).
    WAVE_FILE(const std::wstring& name, const WAVEFORMATEX* fileFormat,
              const WAVEFORMATEX* inputFormat);
    // A reader of the same file at the same position. LOGIC_ERROR for a writer.
    WAVE_FILE(const WAVE_FILE& other);
    WAVE_FILE& operator=(const WAVE_FILE&) = delete;
    // A writer is completed (FinalFlush) here if it was not before.
    virtual ~WAVE_FILE();

    // Up to `wanted` from the current position: `position` receives where it starts,
    // `wanted` the whole frames asked for, `data` the samples (valid until the next call),
    // `read` what was delivered (0 at the end). False for a writer.
    bool Read(RNUMBER64& position, RNUMBER64& wanted, const short*& data, RNUMBER64& read);
    // Moves to `target`, clamped to 0 .. Size(); `reached` is the position of the block
    // that was found. RUNTIME_ERROR when the file cannot be positioned.
    bool Seek(const RNUMBER64& target, RNUMBER64& reached);
    RNUMBER64 Tell() const;
    RNUMBER64 Size() const;
    // Writer: appends `data` (in the input format) at `position`; a position after the end
    // is reached with silence first, one before the end is a LOGIC_ERROR.
    bool Write(const RNUMBER64& position, const std::vector<uint8_t>& data);
    // Writer: writes what the converter still holds and brings the headers up to date.
    void FinalFlush();

    const std::wstring& GetName() const { return name_; }
    unsigned GetSampleRate() const;
    unsigned GetChannelCount() const;
    // "Float 32bit 44100Hz Stereo", or the codec's tag and format names.
    const std::string& GetFormat() const { return description_; }
    // The format record of the file.
    const WAVEFORMATEX* GetWaveFormat() const;

protected:
    // The file grew by `bytes` at the end of its data chunk (already counted in).
    virtual void OnFileSizeChange(int64_t bytes);
    // Drops the buffered sound (after a seek by the owner).
    void CleanUp();

private:
    enum class MODE
    {
        read,
        write
    };

    void OpenExisting();
    void CheckSize();
    void FillFact();
    // Takes in the chunk the walk of the file came to; false when it is not known.
    bool GetChunk(const platform::riff::Chunk& chunk);
    // Reads `size` bytes at file offset `offset`; false when they cannot all be read.
    bool ReadAt(uint64_t offset, void* buffer, size_t size);
    int64_t GetFileSizeBytes();
    // Frames per block of the ADPCM formats; 0 for the others.
    uint64_t SamplesPerBlock() const;
    // More coded data into the read buffer; the bytes added.
    size_t ReadCodecSrcData();
    // Converts more sound into the converted buffer; false at the end of the data.
    bool Convert();
    // Writes `chunk` at file offset `at` and comes back to the end of the file.
    void WriteChunk(CHUNK& chunk, int64_t at);
    bool Write(const RNUMBER64& position, const std::vector<uint8_t>& data, bool final);
    void Describe();

    std::wstring name_;
    X_FILE file_;
    MODE mode_ = MODE::read;
    uint32_t factSamples_ = 0;
    bool factPresent_ = false;
    platform::WaveFormatBlock format_;
    int64_t dataStart_ = 0;
    uint64_t dataSize_ = 0;
    std::set<uint32_t> required_;
    std::set<uint32_t> found_;
    std::vector<uint8_t> coded_; // read buffer: [codedHead_, codedTail_) not yet converted
    size_t codedHead_ = 0, codedTail_ = 0;
    uint64_t codedPos_ = 0; // bytes of the data chunk moved into the read buffer
    std::unique_ptr<CODEC_CONVERTER> converter_;
    std::vector<uint8_t> converted_; // 16-bit PCM: [convertedHead_, end) not handed out
    size_t convertedHead_ = 0;
    bool drained_ = false; // the converter gave out everything up to the end of the data
    std::string description_;
    RNUMBER64 blocksPerMs_;
    int64_t lastFileSize_ = 0;
    uint64_t samples_ = 0;  // frames in the data chunk
    uint64_t position_ = 0; // frames handed out
    std::vector<short> out_;

    // Writer.
    platform::WaveFormatBlock inputFormat_;
    std::unique_ptr<RIFF_CHUNK> riff_;
    std::unique_ptr<FMT_CHUNK> fmt_;
    std::unique_ptr<FACT_CHUNK> fact_;
    std::unique_ptr<DATA_CHUNK> data_;
    int64_t riffAt_ = 0, fmtAt_ = 0, factAt_ = 0, dataAt_ = 0;
    std::vector<uint8_t> pending_; // input bytes the converter has not taken yet
    bool flushed_ = false;
};

class WAVE_FILE_READER : public WAVE_FILE
{
public:
    // Opens `name` and moves to `offsetMs`.
    WAVE_FILE_READER(const std::wstring& name, unsigned offsetMs);

    // Hands out up to `wanted` of the buffered stretch, reading the next stretch of that
    // size when the buffer is used up. At the end of the file `read` is 0 and the end flag
    // is raised; once raised, reads return at once until ClearEOF or Seek.
    bool Read(RNUMBER64& position, RNUMBER64& wanted, RNUMBER64& read);
    // Lowers `size` to what is left in the buffer; an empty buffer leaves it unchanged.
    void SetDesiredReadSize(RNUMBER64& size) const;
    bool Seek(const RNUMBER64& target, RNUMBER64& reached);
    RNUMBER64 Tell() const { return readPos_; }
    RNUMBER64 Size() const { return WAVE_FILE::Size(); }
    const short* GetBuffer() const { return last_; }
    bool IsEOF() const { return eof_; }
    void ClearEOF() { eof_ = false; }

private:
    RNUMBER64 bufferEnd_;
    RNUMBER64 readPos_;
    bool eof_ = false;
    const short* last_ = nullptr;
    // The stretch last read: its samples and how much of it is handed out.
    const short* stretch_ = nullptr;
    uint64_t stretchFrames_ = 0, stretchUsed_ = 0;
};

class WAVE_FILE_READER_NATIVE : public WAVE_FILE_READER, public DATASRC_FILE_WORKER
{
public:
    WAVE_FILE_READER_NATIVE(const std::wstring& name, unsigned offsetMs);
    ~WAVE_FILE_READER_NATIVE() override;

    bool Seek(const RNUMBER64& target, RNUMBER64& reached) override;
    bool Read(RNUMBER64& position, RNUMBER64& wanted, RNUMBER64& read) override;
    unsigned GetChannelsCount() const override { return GetChannelCount(); }
    unsigned GetSampleRate() const override { return WAVE_FILE::GetSampleRate(); }
    bool IsSeekSupported() override { return true; }
    const short* GetBuffer() const override { return WAVE_FILE_READER::GetBuffer(); }
    void GetName(std::wstring& name) const override { name = WAVE_FILE::GetName(); }
    void ClearEOF() override { WAVE_FILE_READER::ClearEOF(); }
    bool IsEOF() const override { return WAVE_FILE_READER::IsEOF(); }
    bool Size(RNUMBER64& length) override;
    bool Tell(RNUMBER64& position) const override;
    void GetFormat(std::string& format) const override { format = WAVE_FILE::GetFormat(); }
    bool IsLibraryReader() const override { return false; }

    // Whether the file grew since the last call (the flag is lowered by asking).
    bool TakeSizeChanged();

protected:
    void OnFileSizeChange(int64_t bytes) override;

private:
    uint8_t sizeChanged_ = 0;
};

// The RIFF reader: WAVE files read by the library itself, non-PCM formats decoded through
// the codec stand-in, 32-bit float converted here.
#pragma once

#include "ondakit/input_sound_file_stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AcmDecoder;

class InputACMSoundFileStream : public InputSoundFileStream
{
public:
    ~InputACMSoundFileStream() override;
    int ReadData(short* buffer, int frames) override;
    int GetChannelCount() const override;
    int GetSampleRate() const override;
    int GetSampleCount() const override;
    bool IsSeekSupported() override;
    double Seek(double seconds) override;
    bool UsesDX() override;

    // Back to the start of the encoded data with a fresh decoder. Also clears the
    // end-of-input flag, so a stream read to its end reads again in full after a seek.
    bool Rewind();

    // null on any failure; the reason goes to the debug output.
    static InputACMSoundFileStream* Open(const wchar_t* path);
    static InputACMSoundFileStream* Open(const char* path);
    // 0, -1 (cannot open) or -2 (no RIFF "WAVE" form, or no "fmt " chunk); fills the 18
    // header bytes of the first "fmt " chunk (cbSize 0 when that chunk is shorter).
    static int GetWavFileParameters(const wchar_t* path, WAVEFORMATEX& format);
    static int GetWavFileChannelCount(const wchar_t* path);

protected:
    InputACMSoundFileStream();
    // Raw access to the encoded data.
    virtual int ReadRaw(unsigned char* buffer, int count) = 0;
    virtual bool GoToDataStart() = 0;
    virtual bool GoToDataOffset(uint32_t offset) = 0;

    // Sets up the destination format from the source block, then rewinds; raises on failure.
    void Start(const WAVEFORMATEX* source);

    std::unique_ptr<AcmDecoder> decoder_; // null for PCM and float sources
    bool endOfInput_ = false;
    uint32_t remaining_ = 0;
    std::vector<uint8_t> source_; // the source format block, at least 18 bytes
    int32_t sampleCount_ = -1;
    uint32_t dataSize_ = 0;
    std::vector<uint8_t> floatBuffer_;
    WAVEFORMATEX destination_{};

private:
    const WAVEFORMATEX& Source() const;
    int ReadFloat(short* buffer, int frames);
};

class InputRiffFileStream : public InputACMSoundFileStream
{
public:
    // Raises std::runtime_error: "Can't open file", "Can't find RIFF chunk",
    // "Bad file format", "Won't support mpeg file", "Can't open conversion stream".
    explicit InputRiffFileStream(const std::string& path);
    ~InputRiffFileStream() override;
    bool IsSeekSupported() override;

protected:
    int ReadRaw(unsigned char* buffer, int count) override;
    bool GoToDataStart() override;
    bool GoToDataOffset(uint32_t offset) override;

private:
    int fd_ = -1;
    uint64_t dataOffset_ = 0;
    uint64_t position_ = 0; // read position inside the data chunk
};

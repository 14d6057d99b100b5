// Writer of WAVE files that stays valid while it is written: the RIFF and data sizes in
// the header are brought up to date after every write that leaves an even total.
#pragma once

#include "platform/wave_format.h"

#include <cstdint>
#include <string>

class OutRiffFileStream
{
public:
    // Open failures raise std::runtime_error with the composed text (ErrorText); a partly
    // written file is removed first.
    OutRiffFileStream(const wchar_t* path, WAVEFORMATEX* format);
    OutRiffFileStream(const char* path, WAVEFORMATEX* format);
    OutRiffFileStream(const wchar_t* path, int sampleRate, int channels);
    OutRiffFileStream(const char* path, int sampleRate, int channels);
    // Finishes the file: both sizes current, the data chunk padded to even length.
    ~OutRiffFileStream();
    OutRiffFileStream(const OutRiffFileStream&) = delete;
    OutRiffFileStream& operator=(const OutRiffFileStream&) = delete;

    // Bytes written; 0 when the write fails (the header keeps its last update).
    int WriteBytes(const char* data, int count);

    // "Error <code>: " [text "{"] ["\n" description "\n"] "}\n"
    static std::string ErrorText(int code, const char* text);

private:
    void OpenFile(const std::string& path, const WAVEFORMATEX* format);
    [[noreturn]] void Raise(int code, const char* text);
    bool UpdateHeader();

    int fd_ = -1;
    uint16_t channels_ = 0;
    uint32_t dataOffset_ = 0; // file offset of the data chunk's body
    uint64_t dataSize_ = 0;
    bool keepHeaderCurrent_ = false;
    bool oddParity_ = false;
};

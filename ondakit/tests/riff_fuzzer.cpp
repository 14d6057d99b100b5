// libFuzzer target for the RIFF reader: any bytes as a file, opened, read in pieces of
// varying size, sought and read again. The reader must keep inside the frames asked for,
// report a sane format, and never deliver more sound than a file of this size can hold.
// The reader's diagnostics go to stderr; scripts/fuzz runs it with -close_fd_mask=2.
#include "fuzz_support.h"

#include "ondakit/input_sound_file_stream.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int piece = in.ConsumeIntegralInRange<int>(1, 4096);
    const double seek = in.ConsumeFloatingPointInRange<double>(-1.0, 10.0);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    static const std::string path = fuzz::ScratchPath("riff.wav");
    if (!fuzz::WriteBytes(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
        return 0;
    std::unique_ptr<InputSoundFileStream> s(InputSoundFileStream::Open(path.c_str(), OpenRiffOnly));
    if (!s) return 0;
    const int channels = s->GetChannelCount();
    FUZZ_CHECK(channels >= 1);
    FUZZ_CHECK(s->GetSampleRate() > 0);
    // A canary after the frames asked for: the reader may fill only what it was given.
    constexpr short kCanary = 0x5A5A;
    std::vector<short> buffer;
    const uint64_t bound = 64 * (bytes.size() + 1);
    uint64_t samples = 0;
    const auto readPiece = [&](int frames)
    {
        const size_t wanted = static_cast<size_t>(frames) * static_cast<size_t>(channels);
        buffer.assign(wanted + 16, kCanary);
        const int got = s->ReadData(buffer.data(), frames);
        FUZZ_CHECK(got >= 0 && got <= frames);
        for (size_t k = wanted; k < buffer.size(); ++k)
            FUZZ_CHECK(buffer[k] == kCanary);
        samples += static_cast<uint64_t>(got) * static_cast<uint64_t>(channels);
        FUZZ_CHECK(samples <= bound);
        return got;
    };
    for (int i = 0; i < 64 && readPiece(piece) > 0; ++i)
    {
    }
    const double reached = s->Seek(seek);
    FUZZ_CHECK(reached == -1 || reached >= 0);
    samples = 0;
    readPiece(100);
    return 0;
}

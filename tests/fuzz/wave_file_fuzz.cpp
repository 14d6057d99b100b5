// The player core's WAVE file reader on hostile files: the chunk walk, the format record,
// reading and seeking, and a file that grows while it is read. Whatever opens delivers at
// most what the data can hold, never more than was asked, and stays inside its own buffer.
#include "fuzz_support.h"

#include "faltor/exceptions.h"
#include "movra/wav_file.h"
#include "platform/text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{

// Frames of `read` at `rate`.
uint64_t Frames(const RNUMBER64& span, unsigned rate)
{
    return static_cast<uint64_t>(span.Num() * static_cast<int64_t>(rate) / span.Den());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const size_t firstPart = in.ConsumeIntegralInRange<size_t>(0, size);
    const unsigned pieceMs = in.ConsumeIntegralInRange<unsigned>(1, 300);
    const unsigned seekMs = in.ConsumeIntegralInRange<unsigned>(0, 5000);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const size_t split = firstPart < bytes.size() ? firstPart : bytes.size();
    const std::string first = bytes.substr(0, split), growth = bytes.substr(split);
    static const std::string path = fuzz::ScratchPath("wave.wav");
    if (!fuzz::WriteBytes(path, reinterpret_cast<const uint8_t*>(first.data()), first.size()))
        return 0;
    try
    {
        WAVE_FILE_READER reader(platform::Utf8ToWide(path), 0);
        const unsigned rate = reader.GetSampleRate(), channels = reader.GetChannelCount();
        FUZZ_CHECK(rate > 0 && channels > 0);
        const bool pcm = reader.GetWaveFormat()->wFormatTag == 1;
        // Any coding yields at most a few dozen samples per stored byte at its own rate. An
        // MPEG stream decodes at the rate its frames name (8 kHz at the least), and the codec
        // stand-in resamples that to the rate the file declares, which may be far higher.
        const uint64_t upsampling = std::max<uint64_t>(1, (rate + 7999) / 8000);
        const uint64_t bound = 64 * (bytes.size() + 1) * upsampling;
        uint64_t delivered = 0;
        const auto readSome = [&](int pieces)
        {
            for (int i = 0; i < pieces && !reader.IsEOF(); ++i)
            {
                RNUMBER64 at, wanted = RNUMBER64::FromMs(pieceMs), read;
                const RNUMBER64 asked = wanted;
                if (!reader.Read(at, wanted, read)) break;
                // Less than a frame is asked for as one frame.
                FUZZ_CHECK(!(asked < wanted) || wanted == RNUMBER64(1, rate));
                FUZZ_CHECK(!(wanted < read));
                const uint64_t n = Frames(read, rate) * channels;
                const short* buffer = reader.GetBuffer();
                if (n) FUZZ_CHECK(buffer != nullptr);
                volatile short sink = 0;
                for (uint64_t k = 0; k < n; ++k)
                    sink = static_cast<short>(sink ^ buffer[k]);
                delivered += n;
                FUZZ_CHECK(delivered <= bound);
                // For block-coded formats a file that grows past its "fact" count may hand
                // out whole blocks beyond Size(); the bound above still holds for them.
                if (pcm) FUZZ_CHECK(!(reader.Size() < reader.Tell()));
            }
        };
        readSome(40);
        // More bytes at the end, as while the recorder's file is still being written.
        if (!growth.empty())
        {
            if (FILE* f = std::fopen(path.c_str(), "ab"))
            {
                std::fwrite(growth.data(), 1, growth.size(), f);
                std::fclose(f);
            }
            reader.ClearEOF();
            readSome(40);
        }
        RNUMBER64 reached;
        if (reader.Seek(RNUMBER64::FromMs(seekMs), reached))
        {
            FUZZ_CHECK(!(reader.Size() < reached));
            delivered = 0;
            readSome(10);
        }
    }
    catch (const LOGIC_ERROR&)
    {
    }
    catch (const RUNTIME_ERROR&)
    {
    }
    return 0;
}

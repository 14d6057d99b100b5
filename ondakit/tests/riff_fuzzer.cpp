// libFuzzer target for the RIFF reader: any bytes as a file, opened and read to the end.
// Built with -DVARK_FUZZ=ON under clang; not part of the test suite.
#include "ondakit/input_sound_file_stream.h"

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/ondakit-fuzz-" + std::to_string(getpid()) + ".wav";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::unique_ptr<InputSoundFileStream> s(InputSoundFileStream::Open(path.c_str(), OpenRiffOnly));
    if (s) {
        std::vector<short> buffer(4096 * 16);
        for (int i = 0; i < 64 && s->ReadData(buffer.data(), 4096) > 0; ++i) {
        }
        s->Seek(0.5);
        s->ReadData(buffer.data(), 100);
    }
    return 0;
}

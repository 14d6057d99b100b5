// vark-audio: the sound-file tool. Subcommands are rows of one table, so new ones are added
// as rows.
#include "commands.h"

#include "platform/version.h"

#include <cstdio>
#include <cstring>

namespace
{

struct Command
{
    const char* name;
    const char* usage;
    int (*run)(const varkaudio::Args&);
};

const Command kCommands[] = {
    {"info", "info FILE                 reader, rate, channels, frames, length, format",
     varkaudio::Info},
    {"decode", "decode FILE OUT.wav [--mono]  16-bit PCM WAV (optionally mixed to mono)",
     varkaudio::Decode},
    {"play",
     "play FILE... [--offset MS] [--seek MS] [--ring FROM-TO] [--gain N] [--balance B]\n"
     "                 [--monitor FILE] [--output-device NAME] [CHAIN]  play through the\n"
     "                 player core (on the default output, or NAME of vark-audio devices)",
     varkaudio::Play},
    {"process",
     "process IN OUT.wav [--seek MS] [CHAIN]  the file chain into a WAV file, no sound device\n"
     "  CHAIN: [--denoiser MODE,LEVEL] [--agc LEVEL] [--speech-search THRESHOLD] [--stretch "
     "STEP]\n"
     "         [--filter LOW,HIGH]",
     varkaudio::Process},
    {"devices", "devices                   the outputs to play on: name, tab, description",
     varkaudio::Devices},
    {"peaks",
     "peaks FILE [--width N] [--threshold N] [--json]  each column's smallest and largest\n"
     "                 sample per channel (N columns, 600), then the speech segments in seconds",
     varkaudio::Peaks},
};

int Usage(FILE* to)
{
    std::fprintf(to, "usage: vark-audio COMMAND ...\n");
    for (const Command& c : kCommands)
        std::fprintf(to, "  vark-audio %s\n", c.usage);
    std::fprintf(to, "  vark-audio --help | --version\n"
                     "environment: VARK_AUDIO=alsa[:PCM]|null|capture:FILE.wav, "
                     "VARK_AUDIO_SPEED=N\n");
    return to == stdout ? 0 : 2;
}

} // namespace

namespace varkaudio
{
void Complain(const std::string& text)
{
    std::fprintf(stderr, "vark-audio: %s\n", text.c_str());
}
} // namespace varkaudio

int main(int argc, char** argv)
{
    if (argc < 2) return Usage(stderr);
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) return Usage(stdout);
    if (!std::strcmp(argv[1], "--version"))
    {
        std::printf("vark-audio %s\n", platform::kProgramVersion);
        return 0;
    }
    for (const Command& c : kCommands)
        if (!std::strcmp(argv[1], c.name)) return c.run(varkaudio::Args(argv + 2, argv + argc));
    varkaudio::Complain(std::string("unknown command \"") + argv[1] + "\"");
    return Usage(stderr);
}

#include "cli.h"

#include "platform/version.h"
#include "settings/app_settings.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace
{

const char* kUsage =
    "usage: vark-cli [--device PATH | --drive PATH] [--pin PIN] [--json] COMMAND ...\n"
    "  --drive PATH: a recorder that appears as a drive, or any folder opened as one\n"
    "  (status, list, export, play --record, delete)\n"
    "  drives                              the recorders that appear as drives\n"
    "  status                              the recorder's state\n"
    "  list [--newest|--oldest]            the records\n"
    "  params show | save FILE.vrp | load FILE.vrp [--write] | set KEY=VALUE... [--write]\n"
    "                                      FILE.vrp: a path as given, relative to the\n"
    "                                      working folder\n"
    "  clock set now|\"YYYY-MM-DD HH:MM:SS\"  from 2000-01-01 00:00:00 on\n"
    "  pin change --old PIN --new PIN\n"
    "  erase --yes                         delete every record\n"
    "  delete (--all | --records 1,3-5) [--yes]\n"
    "                                      delete files of a drive recorder (--drive)\n"
    "  import --to DIR [--delete-verified]  copy a drive recorder's new files (--drive) as they\n"
    "                                      are; with --delete-verified each is deleted once\n"
    "                                      its copy matches it\n"
    "  export --out DIR (--all | --records 1,3-5) [--pause SECONDS | --real-pause] [--sign]\n"
    "         [--overwrite | --skip-existing] [--yes] [--serial N] [--keep-original]\n"
    "         [--minisig [--passphrase-file FILE]] [--bwf]\n"
    "                                      copy records to WAV files (--yes: go on when the\n"
    "                                      space looks short; without a terminal existing\n"
    "                                      files are kept)\n"
    "  verify FILE.wav [--dsg FILE.dsg] (--serial N | --attached)\n"
    "                                      exit 0 authentic, 1 changed, 2 wrong entry\n"
    "  verify FILE --minisig SIG [--public-key KEY]\n"
    "                                      check an open signature (minisign's format)\n"
    "                                      against KEY or your own signing key\n"
    "  verify --manifest DIR               every file DIR's SHA256SUMS lists (exports keep\n"
    "                                      it); those that changed or are missing named\n"
    "  key (--serial N | --attached)       the serial key\n"
    "  key --signing [--export FILE] [--passphrase-file FILE]\n"
    "                                      your public signing key (the pair is made on\n"
    "                                      first use; the passphrase never as an argument)\n"
    "  play (FILE | --record N [--from MS]) [--gain N] [--ring SECONDS]\n"
    "       [--denoiser MODE,DEPTH] [--agc LEVEL] [--stretch STEP] [--output-device NAME]\n"
    "                                      play a sound file or record N of the recorder\n"
    "                                      through the player server (--ring: loop the\n"
    "                                      last SECONDS once played, until Ctrl+C;\n"
    "                                      --output-device: an output vark-audio devices\n"
    "                                      lists, instead of the default)\n"
    "  --help | --version\n"
    "environment: VARK_DEVICE_DIR (recorders), VARK_AUDIO=alsa[:PCM]|null|capture:FILE.wav,\n"
    "  VARK_AUDIO_SPEED=N, VARK_COM_REGISTRY (player server registration)\n";

// Options that take a value; every other option is a flag. --minisig names the signature
// to check for verify, and asks for signatures as a flag of export.
bool TakesValue(const std::string& name, const std::string& command)
{
    if (name == "--minisig") return command == "verify";
    return name == "--device" || name == "--pin" || name == "--old" || name == "--new" ||
           name == "--out" || name == "--records" || name == "--pause" || name == "--dsg" ||
           name == "--serial" || name == "--gain" || name == "--denoiser" || name == "--agc" ||
           name == "--stretch" || name == "--ring" || name == "--record" || name == "--from" ||
           name == "--output-device" || name == "--drive" || name == "--public-key" ||
           name == "--manifest" || name == "--export" || name == "--passphrase-file" ||
           name == "--format" || name == "--to";
}

} // namespace

int main(int argc, char** argv)
{
    using namespace cli;
    const std::map<std::string, Command> commands = {
        {"status", CmdStatus}, {"list", CmdList},   {"params", CmdParams}, {"clock", CmdClock},
        {"pin", CmdPin},       {"erase", CmdErase}, {"export", CmdExport}, {"verify", CmdVerify},
        {"key", CmdKey},       {"play", CmdPlay},   {"drives", CmdDrives}, {"delete", CmdDelete},
        {"import", CmdImport}};
    // Messages in the user's language, as the program shows them; worker threads take the
    // same language from here.
    CAppSettings settings(L"");
    ApplyLanguage(settings);
    Context ctx;
    std::string command;
    try
    {
        for (int i = 1; i < argc; ++i)
        {
            std::string a = argv[i];
            if (a == "-h" || a == "--help")
            {
                std::fputs(kUsage, stdout);
                return kExitOk;
            }
            if (a == "--version")
            {
                std::printf("vark-cli %s\n", platform::kProgramVersion);
                return kExitOk;
            }
            if (a.rfind("--", 0) == 0 && a.size() > 2)
            {
                std::string value;
                if (const auto eq = a.find('='); eq != std::string::npos)
                {
                    value = a.substr(eq + 1);
                    a = a.substr(0, eq);
                }
                else if (TakesValue(a, command))
                {
                    if (i + 1 >= argc) throw UsageError{a + " needs a value"};
                    value = argv[++i];
                }
                if (a == "--json")
                {
                    ctx.json = true;
                    SetJsonErrors(true);
                }
                else
                    ctx.args.options[a] = value;
            }
            else if (command.empty())
            {
                command = a;
            }
            else
            {
                ctx.args.positional.push_back(a);
            }
        }
        if (command.empty()) throw UsageError{"no command"};
        const auto it = commands.find(command);
        if (it == commands.end()) throw UsageError{"unknown command: " + command};
        return it->second(ctx);
    }
    catch (const UsageError& e)
    {
        std::fprintf(stderr, "vark-cli: %s\n%s", e.message.c_str(), kUsage);
        if (ctx.json)
            std::printf("%s\n",
                        Json()
                            .Raw("error", Json().Str("message", e.message).Int("code", 0).Text())
                            .Text()
                            .c_str());
        return kExitUsage;
    }
}

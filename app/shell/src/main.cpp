#include "shell/vark_app.h"
#include "vark_application.h"

#include "platform/install_layout.h"
#include "platform/version.h"

#include <cstdio>
#include <cstring>

namespace
{

// Answered before any window system is reached, so both work without a display.
int PrintHelp()
{
    const std::string data = platform::ProgramDataFolder();
    std::printf(
        "usage: vark [--help | --version] [Qt options such as -platform offscreen]\n"
        "Sound Manager Varke P: shows a plugged-in recorder's state, lists, plays and exports\n"
        "its records, signs and verifies exported files, edits its parameters, clock and PIN.\n"
        "\n"
        "data folder: %s (Varke.ini, Log/Varke.log, Log/Player.log)\n"
        "installed data: %s\n"
        "\n"
        "environment:\n"
        "  VARK_AUDIO        sound output: alsa[:PCM] (default), null, capture:FILE.wav\n"
        "  VARK_AUDIO_SPEED  N: the paced back ends run N times faster\n"
        "  VARK_DEVICE_DIR   folder of the recorders' sockets\n"
        "                    (default $XDG_RUNTIME_DIR/vark/devices)\n"
        "  VARK_COM_REGISTRY folder of the player server registration\n"
        "                    (default $XDG_DATA_HOME/vark/com)\n"
        "  VARK_PEDAL_DIR    folder of the event devices looked at for foot pedals\n"
        "                    (default /dev/input/by-id)\n"
        "  XDG_CONFIG_HOME   parent of the data folder (default ~/.config)\n"
        "  XDG_RUNTIME_DIR   the single-instance lock and the device folder\n"
        "  LC_ALL, LC_MESSAGES, LANG  the language when none is chosen in the program\n"
        "  QT_QPA_PLATFORM   the window system platform (offscreen for tests)\n",
        CVarkApp::DataFolderName().c_str(), data.empty() ? "(not found)" : data.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return PrintHelp();
        if (!std::strcmp(argv[i], "--version"))
        {
            std::printf("vark %s\n", platform::kProgramVersion);
            return 0;
        }
    }
    CVarkApplication app(argc, argv);
    CVarkApp varkApp;
    return varkApp.Run();
}

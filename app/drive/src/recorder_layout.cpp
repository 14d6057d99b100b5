#include "drive/recorder_layout.h"

#include "platform/paths.h"

#include <algorithm>
#include <cctype>

namespace drive
{

namespace
{

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// What `folder` holds: sound files (links left out) and the names of its folders.
struct Listing
{
    bool sound = false;
    std::vector<std::string> folders;
};

Listing List(const std::string& folder)
{
    Listing l;
    for (const platform::FolderEntry& entry : platform::ListFolder(folder))
    {
        if (entry.folder) l.folders.push_back(entry.name);
        if (entry.file && HasSoundExtension(entry.name)) l.sound = true;
    }
    return l;
}

} // namespace

const std::vector<std::string>& RecorderFolderNames()
{
    static const std::vector<std::string> names = {"RECORDER", "VOICE",    "REC",      "FOLDER_A",
                                                   "FOLDER_B", "FOLDER_C", "FOLDER_D", "FOLDER_E",
                                                   "DSS_FLDA", "DSS_FLDB", "DSS_FLDC", "DSS_FLDD",
                                                   "DSS_FLDE", "MIC",      "LINE"};
    return names;
}

bool HasSoundExtension(const std::string& name)
{
    static const char* const kExtensions[] = {"WAV",  "MP3", "WMA", "OGG", "OPUS",
                                              "FLAC", "M4A", "DSS", "DS2", "AMR"};
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    const std::string extension = Upper(name.substr(dot + 1));
    return std::find(std::begin(kExtensions), std::end(kExtensions), extension) !=
           std::end(kExtensions);
}

std::vector<std::string> RecordFolders(const std::string& root)
{
    std::vector<std::string> folders;
    const Listing top = List(root);
    if (top.sound) folders.push_back(root);
    const auto& known = RecorderFolderNames();
    // a recorder folder may hold its folders one level down (RECORDER/FOLDER_A)
    for (const std::string& name : top.folders)
    {
        if (std::find(known.begin(), known.end(), Upper(name)) == known.end()) continue;
        const std::string path = root + "/" + name;
        const Listing inner = List(path);
        if (inner.sound) folders.push_back(path);
        for (const std::string& sub : inner.folders)
            if (std::find(known.begin(), known.end(), Upper(sub)) != known.end() &&
                List(path + "/" + sub).sound)
                folders.push_back(path + "/" + sub);
    }
    return folders;
}

} // namespace drive

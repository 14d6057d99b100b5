// Whether a mounted folder is a voice recorder: it holds sound files at its top or in one of
// the folders recorders keep them in (RECORDER, VOICE, REC, FOLDER_A..E, DSS_FLDA..E, MIC,
// LINE; names compared without case). Files count by their extension here, which is cheap
// enough to ask of every drive that is plugged; the list decides by their content.
#pragma once

#include <string>
#include <vector>

namespace drive
{

// The folder names of the table, in upper case.
const std::vector<std::string>& RecorderFolderNames();
// True for a name ending in an extension of a sound format recorders write.
bool HasSoundExtension(const std::string& name);
// The folders of `root` that hold sound files: `root` itself and the recorder folders in
// it (links not followed); empty when it is not a recorder.
std::vector<std::string> RecordFolders(const std::string& root);

} // namespace drive

// The generated skins compiled in with the Qt resource system, under :/vark/skins. The
// program (and each test that needs the real skins) calls this once before any dialog.
#pragma once

namespace skin_data
{
void InitSkinData();
}

#include "skin/dialog_table.h"

#include "skin/control_tables.h"

#include <string_view>

namespace skin
{

// Each dialog's identity and controls come from skin/control_tables.h.
#define VARK_CONTROL_SKIN(name, id, kind) {#name, id, ControlKind::kind},
#define VARK_DIALOG_HEAD(name, id, bmp, desc, perLanguage) #name, id, bmp, desc, perLanguage
#define VARK_DIALOG_SKIN(identity, controls)                                                       \
    {identity(VARK_DIALOG_HEAD), {controls(VARK_CONTROL_SKIN)}},

const std::vector<DialogSkin>& ProgramDialogs()
{
    static const std::vector<DialogSkin> dialogs = {VARK_PROGRAM_DIALOGS(VARK_DIALOG_SKIN)};
    return dialogs;
}

#undef VARK_DIALOG_SKIN
#undef VARK_DIALOG_HEAD
#undef VARK_CONTROL_SKIN

const DialogSkin* FindDialog(const std::string& name)
{
    for (const DialogSkin& d : ProgramDialogs())
        if (name == d.name) return &d;
    return nullptr;
}

int ControlId(const DialogSkin& dialog, std::string_view name)
{
    for (const ControlSkin& c : dialog.controls)
        if (name == c.name) return c.id;
    return -1;
}

} // namespace skin

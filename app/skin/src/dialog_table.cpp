#include "skin/dialog_table.h"

#include "skin/control_tables.h"

#include <string_view>

namespace skin
{

// Each dialog's controls come from its own table in skin/control_tables.h.
#define VARK_CONTROL_SKIN(name, id, kind) {#name, id, ControlKind::kind},

const std::vector<DialogSkin>& ProgramDialogs()
{
    static const std::vector<DialogSkin> dialogs = {
        {"IDD_VARK_DIALOG", 102, 209, 195, true, {VARK_VARK_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_ABOUTBOX", 100, 197, 189, true, {VARK_ABOUT_BOX_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_PIN_DIALOG", 108, 199, 193, true, {VARK_PIN_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_CHANGE_PIN_DIALOG",
         110,
         200,
         201,
         false,
         {VARK_CHANGE_PIN_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_DEVICE_DIALOG",
         106,
         203,
         202,
         false,
         {VARK_DEVICE_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_TIME_DIALOG", 107, 204, 194, false, {VARK_TIME_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_PARAMS_DIALOG",
         104,
         208,
         128,
         false,
         {VARK_PARAMS_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_SIGNTATURE_DIALOG",
         225,
         229,
         218,
         true,
         {VARK_SIGNATURE_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_KEY_DIALOG", 226, 230, 219, true, {VARK_KEY_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_LOAD_RECLIST_DLG",
         242,
         241,
         244,
         false,
         {VARK_LOAD_RECORDS_LIST_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_PLAYER_OPTIONS_DIALOG",
         245,
         247,
         250,
         true,
         {VARK_PLAYER_OPTIONS_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_EXPORT_DIALOG",
         277,
         275,
         276,
         false,
         {VARK_EXPORT_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
        {"IDD_MSGBOX_DIALOG",
         210,
         248,
         217,
         false,
         {VARK_MSGBOX_DIALOG_CONTROLS(VARK_CONTROL_SKIN)}},
    };
    return dialogs;
}

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

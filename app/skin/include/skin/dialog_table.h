// The skinned windows of the program: for each dialog its own section name and identifier,
// its skin resources and every control it binds, with the skinned class that stands for it.
// Each dialog's identity and its controls are defined once, in skin/control_tables.h (one
// line a control); the dialogs take their numbers from there and bind their controls by name.
// The dialogs register these names before loading their skin, so a skin that lacks one of
// them is caught by the skin tests rather than by a window that comes up unskinned.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace skin
{

class SkinManager;

// Which skinned control class a control is; it decides the keys the control reads.
enum class ControlKind
{
    Button,    // CSkinnedButton
    ButtonEx,  // CSkinnedButtonEx (a link)
    Check,     // CSkinnedCheck
    Radio,     // CSkinnedRadio
    Image,     // CSkinnedImage
    Indicator, // CSkinnedIndicator
    Progress,  // CSkinnedProgress
    Slider,    // CSkinnedSlider
    Spin,      // CSkinnedSpin
    Static,    // CSkinnedStatic
    Combo,     // CSkinnedCombo
    Edit,      // CSkinnedEdit
    Date,      // CSkinnedDateTime, date style
    Time,      // CSkinnedDateTime, time style (its up-down is a CTimeUpDownSkin)
    Menu,      // CSkinnedMenu
    List,      // the records list: placement and colours only
};

struct ControlSkin
{
    const char* name;
    int id;
    ControlKind kind;
};

struct DialogSkin
{
    const char* name; // IDD_...
    int id;           // the dialog resource
    int bitmap, description;
    bool descriptionPerLanguage;
    std::vector<ControlSkin> controls;
};

// Every skinned dialog, the message box included (its bitmap is 248; 216 and 249 carry the
// same pictures for its other kinds).
const std::vector<DialogSkin>& ProgramDialogs();
// nullptr for an unknown name.
const DialogSkin* FindDialog(const std::string& name);
// The number of the control `name` of `dialog`; -1 when it has none of that name.
int ControlId(const DialogSkin& dialog, std::string_view name);
} // namespace skin

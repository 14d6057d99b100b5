// CMsgBoxDlg: the skinned message box that replaces the system one everywhere. Its buttons
// and skin layout follow the style's low four bits (3 or 4: Yes and No on layout 249, else
// OK on layout 248), its icon bits 4 to 7 (0x10 error, 0x20 question, 0x30 warning,
// 0x40 information). Layout 216 carries the same pictures for a box without buttons; the
// message operation never chooses it.
#pragma once

#include <string>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace skin
{

class CMsgBoxDlg : public SkinnedDialog<CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_MSGBOX_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_MSGBOX_DIALOG_CONTROLS);

    CMsgBoxDlg(QWidget* parent, const std::string& text, uint32_t style,
               const QString& module = {});
    static bool IsYesNo(uint32_t style) { return (style & 0xF) == 3 || (style & 0xF) == 4; }
    static int BitmapFor(uint32_t style) { return IsYesNo(style) ? 249 : kBitmap; }
    // The icon control shown for a style, 0 for none.
    static int IconFor(uint32_t style);

    CSkinnedButton* Ok() const { return ok_; }
    CSkinnedButton* Yes() const { return yes_; }
    CSkinnedButton* No() const { return no_; }
    CSkinnedStatic* Text() const { return text_; }
    CSkinnedImage* Icon(int id) const;

private:
    CSkinnedButton *ok_, *yes_, *no_, *close_;
    CSkinnedStatic* text_;
    CSkinnedImage* icons_[4];
};

} // namespace skin

#include "skin/msgbox_dlg.h"

#include "platform/thread_locale.h"

namespace skin
{

int CMsgBoxDlg::IconFor(uint32_t style)
{
    switch (style & 0xF0)
    {
    case 0x10:
        return IDC_ICON_ERROR;
    case 0x20:
        return IDC_ICON_ASK;
    case 0x30:
        return IDC_ICON_WARNING;
    case 0x40:
        return IDC_ICON_INFO;
    default:
        return 0;
    }
}

CMsgBoxDlg::CMsgBoxDlg(QWidget* parent, const std::string& text, uint32_t style,
                       const QString& module)
    : SkinnedDialog<CBaseDlg>(kName, kDialogId, parent)
{
    text_ = Bind(new CSkinnedStatic(&Skin()), "IDC_STATIC_TEXT");
    text_->setText(QString::fromStdString(text));
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Arabic reads right to left: the text runs from the right edge of its field
    if (platform::PrimaryLanguage(platform::GetThreadLocale()) == 1)
        text_->setLayoutDirection(Qt::RightToLeft);
    const int iconIds[4] = {IDC_ICON_ERROR, IDC_ICON_WARNING, IDC_ICON_ASK, IDC_ICON_INFO};
    const char* iconNames[4] = {"IDC_ICON_ERROR", "IDC_ICON_WARNING", "IDC_ICON_ASK",
                                "IDC_ICON_INFO"};
    for (int i = 0; i < 4; ++i)
    {
        icons_[i] = Bind(new CSkinnedImage(&Skin()), iconNames[i]);
        icons_[i]->setVisible(iconIds[i] == IconFor(style));
    }
    ok_ = Bind(new CSkinnedButton(&Skin()), "IDOK");
    yes_ = Bind(new CSkinnedButton(&Skin()), "IDYES");
    no_ = Bind(new CSkinnedButton(&Skin()), "IDNO");
    close_ = Bind(new CSkinnedButton(&Skin()), "IDC_CANCEL");
    bool yesNo = IsYesNo(style);
    ok_->setVisible(!yesNo);
    yes_->setVisible(yesNo);
    no_->setVisible(yesNo);
    (yesNo ? yes_ : ok_)->setDefault(true);
    InitSkin(BitmapFor(style), kDescription, module);
}

CSkinnedImage* CMsgBoxDlg::Icon(int id) const
{
    for (CSkinnedImage* i : icons_)
        if (i->ControlId() == id) return i;
    return nullptr;
}

} // namespace skin

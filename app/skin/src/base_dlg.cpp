#include "skin/base_dlg.h"

#include <cstdarg>

#include "res/strings.h"
#include "skin/modal_questions.h"

namespace skin
{

int CBaseDlg::Message(uint32_t textId, uint32_t titleId, uint32_t style, ...)
{
    std::string format = res::LoadString(textId);
    (void)res::LoadString(titleId); // loaded as the program does; the skinned box shows none
    va_list args;
    va_start(args, style);
    std::string text = res::FormatTextV(format.c_str(), args);
    va_end(args);
    return Message(text, style);
}

int CBaseDlg::Message(const std::string& text, uint32_t style)
{
    return Questions().Message(this, text, style);
}

void CBaseDlg::OnCommand(int id)
{
    switch (id)
    {
    case IDOK:
    case IDYES:
    case IDNO:
        done(id);
        break;
    case IDCANCEL:
    case IDC_CANCEL:
        done(IDCANCEL);
        break;
    default:
        break;
    }
}

} // namespace skin

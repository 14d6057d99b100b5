// What the small forms share: OK, Cancel and the skin's close button and the message-box
// styles.
#pragma once

#include <cstdint>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace dialogs
{

inline constexpr uint32_t kStyleOk = 0x00;
inline constexpr uint32_t kStyleError = 0x10;
inline constexpr uint32_t kStyleWarning = 0x30;
inline constexpr uint32_t kStyleInformation = 0x40;
inline constexpr uint32_t kStyleQuestionYesNo = 0x24;

// Binds OK (the default button), Cancel and the close button of the title band.
template <class D> void BindFormButtons(D& dlg, bool withCancel = true)
{
    auto* ok = dlg.Bind(new skin::CSkinnedButton(&dlg.Skin()), "IDOK");
    ok->setDefault(true);
    if (withCancel)
    {
        dlg.Bind(new skin::CSkinnedButton(&dlg.Skin()), "IDCANCEL");
        dlg.Bind(new skin::CSkinnedButton(&dlg.Skin()), "IDC_CANCEL");
    }
}

} // namespace dialogs

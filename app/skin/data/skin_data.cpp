#include "skin_data/skin_data.h"

#include <QtCore/qglobal.h>

// The resource initialiser of rcc lives in the global namespace.
static void InitResources()
{
    Q_INIT_RESOURCE(vark_skins);
}

namespace skin_data
{
void InitSkinData()
{
    InitResources();
}
} // namespace skin_data

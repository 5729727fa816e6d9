#include "Client/system/OsVersion.h"

#include "sdk/WinInclude.h"

namespace qrnv {

int GetSystemDefaultLanguage()
{
    return static_cast<int>(GetSystemDefaultLCID());
}

} // namespace qrnv

#include "Client/service/QuickCheck.h"

#include "sdk/WinInclude.h"

#include <wininet.h>

namespace qrnv {

bool IsInternetConnected()
{
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
}

} // namespace qrnv

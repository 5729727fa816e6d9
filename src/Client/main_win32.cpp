#include "Client/Application.h"
#include "sdk/WinInclude.h"

namespace {
qrnv::QuarnRenova gApplication;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    gApplication.InitInstance();
    return gApplication.ExitInstance();
}

#include "Client/Application.h"
#include "Client/system/ProcessExit.h"
#include "sdk/WinInclude.h"

namespace {
qrnv::QuarnRenova gApplication;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    gApplication.InitInstance();
    // Threads of the run may still be working: end before static objects are destroyed.
    qrnv::EndProcess(static_cast<std::uint32_t>(gApplication.ExitInstance()));
}

#include "Client/Application.h"
#include "Client/system/ProcessExit.h"
#include "Client/system/ProcessArguments.h"

namespace {
qrnv::QuarnRenova gApplication;
}

int main(int argc, char** argv)
{
    qrnv::SetProcessArguments(argc, argv);
    gApplication.InitInstance();
    // Threads of the run may still be working: end as Windows ends a process.
    qrnv::EndProcess(static_cast<std::uint32_t>(gApplication.ExitInstance()));
}

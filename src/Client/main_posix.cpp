#include "Client/Application.h"
#include "Client/system/ProcessArguments.h"

namespace {
qrnv::QuarnRenova gApplication;
}

int main(int argc, char** argv)
{
    qrnv::SetProcessArguments(argc, argv);
    gApplication.InitInstance();
    return gApplication.ExitInstance();
}

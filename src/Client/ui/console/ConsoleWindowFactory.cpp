#include <unistd.h>

#include "Client/ui/console/ConsoleWindow.h"

namespace qrnv {

std::unique_ptr<DialogWindow> CreatePlatformDialogWindow()
{
    return std::make_unique<ConsoleWindow>(STDIN_FILENO, STDOUT_FILENO);
}

} // namespace qrnv

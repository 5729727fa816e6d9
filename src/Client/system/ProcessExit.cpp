#include "Client/system/ProcessExit.h"

#include <cstdlib>

namespace qrnv {

void EndProcess(std::uint32_t exitCode)
{
    std::exit(static_cast<int>(exitCode));
}

} // namespace qrnv

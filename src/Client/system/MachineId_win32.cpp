#include "Client/system/MachineId.h"

namespace qrnv {

bool ReadPlatformMachineId(std::wstring&)
{
    return false;
}

} // namespace qrnv

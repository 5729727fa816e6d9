#include "Client/system/MachineId.h"

#include <fstream>

namespace qrnv {

bool ReadMachineIdFile(const std::string& path, std::wstring& out)
{
    std::ifstream file(path, std::ios::binary);
    char text[64] = {};
    file.read(text, sizeof text);
    return file.gcount() > 0 && MachineIdToGuid(std::string_view(text, static_cast<std::size_t>(file.gcount())), out);
}

bool ReadPlatformMachineId(std::wstring& out)
{
    return ReadMachineIdFile("/etc/machine-id", out) || ReadMachineIdFile("/var/lib/dbus/machine-id", out);
}

} // namespace qrnv

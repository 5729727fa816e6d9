#pragma once
// The machine's identifier where the registry holds none.

#include <string>
#include <string_view>

namespace qrnv {

// POSIX: the system's machine id (/etc/machine-id, else /var/lib/dbus/machine-id) as a GUID
// text. Windows: always false, the registry value is the only source there. out is changed
// only on success.
bool ReadPlatformMachineId(std::wstring& out);

// 32 hex digits, white space after them allowed, as the lower-case GUID text 8-4-4-4-12.
bool MachineIdToGuid(std::string_view id, std::wstring& out);

#ifndef _WIN32
// The machine id in the file at path (UTF-8), as MachineIdToGuid reads it.
bool ReadMachineIdFile(const std::string& path, std::wstring& out);
#endif

} // namespace qrnv

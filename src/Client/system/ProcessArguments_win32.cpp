#include "Client/system/ProcessArguments.h"

#include "Client/system/CommandLineText.h"
#include "sdk/WinInclude.h"

namespace qrnv {

std::vector<std::wstring> GetProcessArguments()
{
    return SplitCommandLine(GetRawCommandLine(), true);
}

std::wstring GetRawCommandLine()
{
    const wchar_t* line = GetCommandLineW();
    return line ? std::wstring(line) : std::wstring();
}

std::uint32_t CurrentProcessId()
{
    return GetCurrentProcessId();
}

} // namespace qrnv

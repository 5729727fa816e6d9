#include "support/ChildProcess.h"

namespace qrnv::test {

int RunProcess(const std::wstring& commandLine, std::uint32_t timeoutMs)
{
    ChildProcess child;
    if (!child.Start(commandLine)) {
        return -1;
    }
    return child.Wait(timeoutMs);
}

} // namespace qrnv::test

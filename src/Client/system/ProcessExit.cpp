#include "Client/system/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace qrnv {

void EndProcess(std::uint32_t exitCode)
{
    std::cout.flush();
    std::wcout.flush();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    // The leak check normally runs at exit, which is skipped here.
    __lsan_do_leak_check();
#endif
    std::_Exit(static_cast<int>(exitCode));
}

} // namespace qrnv

#include "Client/system/DebugMessage.h"

#include <cstdio>
#include <unistd.h>

#include "sdk/text/TextConvert.h"

namespace qrnv {

void ShowDebugMessage(const std::wstring& text)
{
    const std::string line = "[Debug] " + WideToUtf8(text);
    if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) {
        std::fprintf(stderr, "%s (press Enter)\n", line.c_str());
        int c;
        while ((c = std::getchar()) != EOF && c != '\n') {
        }
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

void RestrictLibrarySearchToSystemFolder()
{
    // Nothing to restrict: the dynamic loader's search is fixed at link time here.
}

} // namespace qrnv

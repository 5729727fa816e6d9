#include "Client/system/ModulePath.h"

#include <unistd.h>

#include "Client/system/Platform.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {

std::wstring GetModulePath()
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) {
        return {};
    }
    std::wstring path = Utf8ToWide(std::string_view(buffer, static_cast<std::size_t>(n)));
    // As on Windows: a path beyond the limit is not handed out cut short.
    if (path.size() >= kMaxPath) {
        return {};
    }
    return path;
}

} // namespace qrnv

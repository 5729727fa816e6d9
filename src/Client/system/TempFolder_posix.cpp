#include "Client/system/TempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Client/system/Platform.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

std::wstring WithSeparator(std::wstring path)
{
    if (path.empty() || path.back() != kPathSeparator) {
        path += kPathSeparator;
    }
    return path;
}

} // namespace

std::wstring GetSystemTempPath()
{
    for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(name);
        if (value && *value == '/') {
            std::wstring path = WithSeparator(Utf8ToWide(value));
            if (path.size() < kMaxPath) {
                return path;
            }
        }
    }
    // A folder of this user's own under /tmp, never one that someone else prepared.
    const std::string own = "/tmp/qrnv-" + std::to_string(geteuid());
    if (mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    const std::wstring path = Utf8ToWide(own);
    if (!IsPrivateFolder(path)) {
        errno = EACCES;
        return {};
    }
    return WithSeparator(path);
}

bool IsPrivateFolder(const std::wstring& path)
{
    std::string native = WideToUtf8(path);
    while (native.size() > 1 && native.back() == '/') {
        native.pop_back();
    }
    struct stat st;
    if (lstat(native.c_str(), &st) != 0) {
        return errno == ENOENT; // nothing there that anybody could have planted
    }
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

} // namespace qrnv

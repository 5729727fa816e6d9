#include "Client/system/OsVersion.h"

#include <sys/utsname.h>

#include <cerrno>
#include <cstdlib>

namespace qrnv {

std::int32_t GetOsVersion(OsVersionInfo& record)
{
    record = OsVersionInfo{};
    utsname name;
    if (uname(&name) != 0) {
        return errno != 0 ? errno : -1;
    }
    ParseKernelRelease(name.release, record);
    record.mProductType = kProductTypeWorkstation;
    return 0;
}

std::int32_t GetSystemDefaultLanguage()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            return LanguageOfLocaleName(value);
        }
    }
    return kLanguageEnglish;
}

bool RunsAsWow64()
{
    return false;
}

} // namespace qrnv

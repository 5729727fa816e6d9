#include "Client/system/OsVersion.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace qrnv {

int GetSystemDefaultLanguage()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            if (std::strncmp(value, "de", 2) == 0) return 1031;
            if (std::strncmp(value, "ja", 2) == 0) return 1041;
            return 1033;
        }
    }
    return 1033;
}

} // namespace qrnv

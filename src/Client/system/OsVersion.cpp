#include "Client/system/OsVersion.h"

namespace qrnv {

std::int32_t LanguageOfLocaleName(std::string_view locale)
{
    auto is = [&](std::string_view language) {
        if (locale.substr(0, language.size()) != language) {
            return false;
        }
        return locale.size() == language.size() || locale[language.size()] == '_' || locale[language.size()] == '.' ||
               locale[language.size()] == '@';
    };
    if (is("de")) {
        return kLanguageGerman;
    }
    if (is("ja")) {
        return kLanguageJapanese;
    }
    return kLanguageEnglish;
}

void ParseKernelRelease(std::string_view release, OsVersionInfo& record)
{
    std::uint32_t* const fields[] = {&record.mMajorVersion, &record.mMinorVersion, &record.mBuildNumber};
    std::size_t i = 0;
    for (std::uint32_t* field : fields) {
        if (i >= release.size() || release[i] < '0' || release[i] > '9') {
            return;
        }
        std::uint64_t value = 0;
        while (i < release.size() && release[i] >= '0' && release[i] <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(release[i] - '0');
            if (value > 0xFFFFFFFFu) {
                value = 0xFFFFFFFFu;
            }
            ++i;
        }
        *field = static_cast<std::uint32_t>(value);
        if (i >= release.size() || release[i] != '.') {
            return;
        }
        ++i;
    }
}

} // namespace qrnv

#include "Client/system/SplitVersion.h"

namespace qrnv {

bool SplitVersion(const std::wstring& version, VersionParts& parts)
{
    if (version.empty()) {
        return false;
    }
    const std::size_t first = version.find(L'.');
    if (first == std::wstring::npos) {
        return false;
    }
    parts.mFirst = version.substr(0, first);
    if (first + 1 >= version.size()) {
        return false;
    }
    const std::size_t second = version.find(L'.', first + 1);
    if (second == std::wstring::npos) {
        return false;
    }
    parts.mSecond = version.substr(first + 1, second - first - 1);
    parts.mRest = version.substr(second + 1);
    return true;
}

} // namespace qrnv

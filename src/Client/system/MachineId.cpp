#include "Client/system/MachineId.h"

namespace qrnv {

bool MachineIdToGuid(std::string_view id, std::wstring& out)
{
    constexpr std::size_t kDigits = 32;
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r' || id.back() == ' ' || id.back() == '\t')) {
        id.remove_suffix(1);
    }
    if (id.size() != kDigits) {
        return false;
    }
    std::wstring guid;
    for (std::size_t i = 0; i < kDigits; ++i) {
        char c = id[i];
        if (c >= 'A' && c <= 'F') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
        if (i == 8 || i == 12 || i == 16 || i == 20) {
            guid.push_back(L'-');
        }
        guid.push_back(static_cast<wchar_t>(c));
    }
    out = std::move(guid);
    return true;
}

} // namespace qrnv

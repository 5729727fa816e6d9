#include "sdk/text/TextEdit.h"

namespace qrnv {

std::wstring ReplaceAll(std::wstring text, std::wstring_view what, std::wstring_view with)
{
    if (what.empty()) {
        return text;
    }
    std::size_t pos = 0;
    while ((pos = text.find(what, pos)) != std::wstring::npos) {
        text.replace(pos, what.size(), with);
        pos += with.size();
    }
    return text;
}

} // namespace qrnv

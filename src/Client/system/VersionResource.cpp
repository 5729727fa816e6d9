#include "Client/system/VersionResource.h"

#include "sdk/text/Format.h"

namespace qrnv {
namespace {

// The sub-block name lives in a buffer of 50 characters.
constexpr std::size_t kMaxSubBlockChars = 49;

void TrimBlanks(std::wstring& text)
{
    const wchar_t* const blanks = L" \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(blanks) + 1);
    text.erase(0, first);
}

} // namespace

bool GetVersionResourceText(const std::wstring& path, const std::wstring& key, std::wstring& out)
{
    out.clear();
    const std::unique_ptr<VersionBlock> block = OpenVersionBlock(path);
    if (!block) {
        return false;
    }
    bool found = false;
    const auto translations = block->Translations();
    for (std::size_t i = 0; i < translations.size(); ++i) {
        if (i > 0) {
            out += L" / ";
        }
        std::wstring subBlock = FormatText(L"\\StringFileInfo\\%04x%04x\\%s", translations[i].first, translations[i].second, key);
        if (subBlock.size() > kMaxSubBlockChars) {
            subBlock.resize(kMaxSubBlockChars);
        }
        std::wstring value;
        if (block->QueryText(subBlock, value)) {
            out += value;
            TrimBlanks(out);
            found = true;
        }
    }
    return found;
}

} // namespace qrnv

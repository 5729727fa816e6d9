#include "Client/Discovery.h"

#include <array>
#include <string_view>

#include "Client/ProgramInfoAccess.h"
#include "Client/system/OsVersion.h"
#include "Client/system/Registry.h"

namespace qrnv {
namespace {

constexpr std::wstring_view kPreviewSuffix = L" [Preview Channel]";
constexpr std::wstring_view kEdition = L"Edition";
constexpr std::array<std::wstring_view, 6> kEditionWords = {L"Professional", L"Server", L"Workstation",
                                                            L"Tech",         L"Admin",  L"Express"};
constexpr std::wstring_view kMedia = L"Media";


bool EndsWith(const std::wstring& text, std::wstring_view suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void RemoveAll(std::wstring& text, std::wstring_view what)
{
    std::size_t pos;
    while ((pos = text.find(what)) != std::wstring::npos) {
        text.erase(pos, what.size());
    }
}

// The word at pos gets "Edition" after itself and the one character that follows it, or a
// blank and "Edition" at the end when nothing follows.
void NormaliseEdition(std::wstring& title, std::size_t pos, std::size_t wordLength)
{
    const std::size_t e = pos + wordLength + 1;
    if (e < title.size()) {
        title.insert(e, kEdition);
    } else {
        title += L" ";
        title += kEdition;
    }
}

} // namespace

int EffectiveLanguage(int language)
{
    return language != 0 ? language : GetSystemDefaultLanguage();
}

void DiscoverProductInfo(ProgramInfo& r)
{
    // Only the last source for now: the names every other source would have found.
    const int language = EffectiveLanguage(r.mLanguage);
    const wchar_t* unknown = language == kLanguageGerman ? L"Unbekannt" : language == kLanguageJapanese ? L"\u4e0d\u660e" : L"Unknown";
    r.mDisplayName = unknown;
    r.mProgramName = unknown;
}

void MakeProductTitle(ProgramInfo& r)
{
    r.mProductTitle = r.mDisplayName;
    std::wstring& title = r.mProductTitle;
    for (std::wstring_view word : kEditionWords) {
        const std::size_t pos = title.find(word);
        if (pos != std::wstring::npos) {
            NormaliseEdition(title, pos, word.size());
            return;
        }
    }
    const std::size_t pos = title.find(kMedia);
    if (pos != std::wstring::npos && pos + kMedia.size() == title.size()) {
        NormaliseEdition(title, pos, kMedia.size());
    }
}

bool StripPreviewChannelSuffix(ProgramInfo& r)
{
    if (!EndsWith(r.mProgramName, kPreviewSuffix) && !EndsWith(r.mDisplayName, kPreviewSuffix)) {
        return false;
    }
    RemoveAll(r.mProgramName, kPreviewSuffix);
    RemoveAll(r.mDisplayName, kPreviewSuffix);
    return true;
}

bool IsPreviewChannelEnabled(const ProgramInfo& r)
{
    RegKey key;
    std::uint32_t value = 0;
    return key.Open(RegHive::LocalMachine, L"Software\\Quarn\\Quarn Renova\\" + r.mProgramName, RegView::Registry64, false) &&
           key.ReadNumber(L"PreviewChannel", value) && value == 1;
}

void AddPreviewChannelSuffix(ProgramInfo& r)
{
    r.mProgramName += kPreviewSuffix;
    r.mDisplayName += kPreviewSuffix;
    r.mProductTitle += kPreviewSuffix;
    r.mEscapedDisplayName = DoubleAmpersands(r.mDisplayName);
}

} // namespace qrnv

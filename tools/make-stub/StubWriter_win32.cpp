#include "StubWriter.h"

#include <algorithm>
#include <utility>

#include "Client/system/LastError.h"
#include "Client/system/ProcessArguments.h"
#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"

namespace qrnv::stub {
namespace {

using Bytes = std::vector<unsigned char>;

void PutWord(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void PutDword(Bytes& out, std::uint32_t value)
{
    PutWord(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutWord(out, static_cast<std::uint16_t>(value >> 16));
}

// A text in UTF-16 with its terminator.
void PutText(Bytes& out, const std::wstring& text)
{
    for (wchar_t c : text) {
        PutWord(out, static_cast<std::uint16_t>(c));
    }
    PutWord(out, 0);
}

void PadToDword(Bytes& out)
{
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

// One node of the version tree: wLength, wValueLength, wType, the key, the value and the
// children, each starting on a 32-bit boundary. wValueLength counts characters for a text
// value (wType 1) and bytes for a binary one (wType 0).
Bytes Node(const std::wstring& key, std::uint16_t type, const Bytes& value, std::uint16_t valueLength, const std::vector<Bytes>& children)
{
    Bytes out;
    PutWord(out, 0); // wLength, below
    PutWord(out, valueLength);
    PutWord(out, type);
    PutText(out, key);
    PadToDword(out);
    out.insert(out.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        PadToDword(out);
        out.insert(out.end(), child.begin(), child.end());
    }
    out[0] = static_cast<unsigned char>(out.size() & 0xFF);
    out[1] = static_cast<unsigned char>(out.size() >> 8);
    return out;
}

Bytes StringNode(const std::wstring& key, const std::wstring& text)
{
    Bytes value;
    PutText(value, text);
    return Node(key, 1, value, static_cast<std::uint16_t>(text.size() + 1), {});
}

// "a.b.c.d" as the two 32-bit halves of a fixed version; missing parts are 0.
std::pair<std::uint32_t, std::uint32_t> VersionNumbers(const std::wstring& text)
{
    std::uint32_t parts[4] = {};
    std::size_t part = 0;
    for (wchar_t c : text) {
        if (c == L'.') {
            if (++part == 4) {
                break;
            }
        } else if (c >= L'0' && c <= L'9') {
            parts[part] = std::min<std::uint32_t>(parts[part] * 10 + static_cast<std::uint32_t>(c - L'0'), 0xFFFF);
        } else {
            break;
        }
    }
    return {(parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]};
}

Bytes VersionInfoBlock(const StubIdentity& identity)
{
    const auto [high, low] = VersionNumbers(identity.mProductVersion.value_or(std::wstring()));
    Bytes fixed;
    PutDword(fixed, 0xFEEF04BD); // signature
    PutDword(fixed, 0x00010000); // structure version
    PutDword(fixed, high);       // file version
    PutDword(fixed, low);
    PutDword(fixed, high); // product version
    PutDword(fixed, low);
    PutDword(fixed, 0x3F);       // flags mask
    PutDword(fixed, 0);          // flags
    PutDword(fixed, 0x00040004); // VOS_NT_WINDOWS32
    PutDword(fixed, 1);          // VFT_APP
    PutDword(fixed, 0);          // subtype
    PutDword(fixed, 0);          // date
    PutDword(fixed, 0);

    std::vector<Bytes> strings;
    if (identity.mProductName) {
        strings.push_back(StringNode(L"ProductName", *identity.mProductName));
    }
    if (identity.mProductVersion) {
        strings.push_back(StringNode(L"ProductVersion", *identity.mProductVersion));
        strings.push_back(StringNode(L"FileVersion", *identity.mProductVersion));
    }
    if (identity.mComments) {
        strings.push_back(StringNode(L"Comments", *identity.mComments));
    }
    const std::wstring tableName = FormatText(L"%04x%04x", identity.mLanguage, identity.mCodePage);
    const Bytes table = Node(tableName, 1, {}, 0, strings);
    const Bytes stringInfo = Node(L"StringFileInfo", 1, {}, 0, {table});

    Bytes translation;
    PutWord(translation, identity.mLanguage);
    PutWord(translation, identity.mCodePage);
    const Bytes var = Node(L"Translation", 0, translation, 4, {});
    const Bytes varInfo = Node(L"VarFileInfo", 1, {}, 0, {var});

    return Node(L"VS_VERSION_INFO", 0, fixed, static_cast<std::uint16_t>(fixed.size()), {stringInfo, varInfo});
}

// A resource name as the update functions take it: a number or a text.
struct ResourceEntry {
    bool isNumber = true;
    WORD number = 0;
    std::wstring text;
    WORD language = 0;
    LPCWSTR Name() const { return isNumber ? MAKEINTRESOURCEW(number) : text.c_str(); }
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR param)
{
    ResourceEntry entry;
    entry.isNumber = IS_INTRESOURCE(name);
    if (entry.isNumber) {
        entry.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    } else {
        entry.text = name;
    }
    entry.language = language;
    reinterpret_cast<std::vector<ResourceEntry>*>(param)->push_back(std::move(entry));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    EnumResourceLanguagesW(module, type, name, CollectLanguage, param);
    return TRUE;
}

// The version resources the program carries now, in every language.
std::vector<ResourceEntry> VersionResources(const std::wstring& path)
{
    std::vector<ResourceEntry> entries;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module) {
        EnumResourceNamesW(module, MAKEINTRESOURCEW(16), CollectName, reinterpret_cast<LONG_PTR>(&entries));
        FreeLibrary(module);
    }
    return entries;
}

} // namespace

int WriteStub(const std::wstring& from, const std::wstring& to, const StubIdentity& identity, std::wstring& error)
{
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        error = FormatText(L"cannot copy %s to %s: %s", from, to, GetLastErrorText());
        return kExitFile;
    }
    const std::vector<ResourceEntry> old = VersionResources(to);
    if (old.empty()) {
        DeleteFileW(to.c_str());
        error = from + L" has no version resource";
        return kExitNoVersionInfo;
    }
    const Bytes block = VersionInfoBlock(identity);
    if (block.size() > 0xFFFF) {
        DeleteFileW(to.c_str());
        error = L"the strings do not fit into a version resource";
        return kExitCannotWrite;
    }

    HANDLE update = BeginUpdateResourceW(to.c_str(), FALSE);
    bool ok = update != nullptr;
    // The old resource goes in every language, so that no reader finds it instead of ours.
    for (const ResourceEntry& entry : old) {
        ok = ok && UpdateResourceW(update, MAKEINTRESOURCEW(16), entry.Name(), entry.language, nullptr, 0);
    }
    ok = ok && UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), identity.mLanguage,
                               const_cast<unsigned char*>(block.data()), static_cast<DWORD>(block.size()));
    if (!ok) {
        error = FormatText(L"cannot write the version resource of %s: %s", to, GetLastErrorText());
    }
    if (update && !EndUpdateResourceW(update, ok ? FALSE : TRUE) && ok) {
        ok = false;
        error = FormatText(L"cannot write the version resource of %s: %s", to, GetLastErrorText());
    }
    if (!ok) {
        DeleteFileW(to.c_str());
        return kExitCannotWrite;
    }
    return kExitOk;
}

} // namespace qrnv::stub

int main()
{
    std::vector<std::wstring> arguments = qrnv::GetProcessArguments();
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    return qrnv::stub::RunMakeStub(arguments);
}

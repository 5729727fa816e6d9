#include "Client/system/Registry.h"

#include <vector>

#include "sdk/WinInclude.h"

namespace qrnv {

struct RegKey::State {
    HKEY key = nullptr;
    ~State()
    {
        if (key) {
            RegCloseKey(key);
        }
    }
};

namespace {

HKEY RootOf(RegHive hive)
{
    return hive == RegHive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

REGSAM ViewFlag(RegView view)
{
    return view == RegView::Registry64 ? KEY_WOW64_64KEY : 0;
}

} // namespace

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&& other) noexcept = default;
RegKey& RegKey::operator=(RegKey&& other) noexcept = default;

bool RegKey::Open(RegHive hive, const std::wstring& path, RegView view, bool writeAccess)
{
    Close();
    const REGSAM access = (writeAccess ? KEY_READ | KEY_WRITE : KEY_READ) | ViewFlag(view);
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootOf(hive), path.c_str(), 0, access, &key) != ERROR_SUCCESS) {
        return false;
    }
    mState = std::make_unique<State>();
    mState->key = key;
    return true;
}

bool RegKey::Create(RegHive hive, const std::wstring& path, RegView view)
{
    Close();
    HKEY key = nullptr;
    if (RegCreateKeyExW(RootOf(hive), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | ViewFlag(view),
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    mState = std::make_unique<State>();
    mState->key = key;
    return true;
}

void RegKey::Close()
{
    mState.reset();
}

bool RegKey::IsOpen() const
{
    return mState != nullptr;
}

bool RegKey::ReadText(const std::wstring& name, std::wstring& out, std::size_t maxChars) const
{
    if (!mState) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(mState->key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return false;
    }
    // Room for a stored terminator besides maxChars characters; anything longer is too long.
    if (size / sizeof(wchar_t) > maxChars + 1) {
        return false;
    }
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(mState->key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    buffer[got / sizeof(wchar_t)] = L'\0';
    std::wstring text(buffer.data());
    if (text.size() > maxChars) {
        return false;
    }
    out = std::move(text);
    return true;
}

bool RegKey::ReadNumber(const std::wstring& name, std::uint32_t& out) const
{
    if (!mState) {
        return false;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(mState->key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return false;
    }
    out = value;
    return true;
}

bool RegKey::WriteText(const std::wstring& name, const std::wstring& value)
{
    if (!mState) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    return RegSetValueExW(mState->key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

bool RegKey::WriteNumber(const std::wstring& name, std::uint32_t value)
{
    if (!mState) {
        return false;
    }
    const DWORD data = value;
    return RegSetValueExW(mState->key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

bool RegKey::DeleteValue(const std::wstring& name)
{
    return mState && RegDeleteValueW(mState->key, name.c_str()) == ERROR_SUCCESS;
}

RegEnumResult RegKey::EnumSubKey(std::uint32_t index, std::wstring& name) const
{
    if (!mState) {
        return RegEnumResult::NoMore;
    }
    wchar_t buffer[kRegMaxKeyNameChars + 1] = {};
    DWORD length = kRegMaxKeyNameChars + 1;
    const LONG result = RegEnumKeyExW(mState->key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) {
        name.assign(buffer, length);
        return RegEnumResult::Ok;
    }
    return result == ERROR_MORE_DATA ? RegEnumResult::Error : RegEnumResult::NoMore;
}

RegEnumResult RegKey::EnumValue(std::uint32_t index, std::wstring& name, RegValueType& type) const
{
    if (!mState) {
        return RegEnumResult::NoMore;
    }
    // The registry's own limit for value names.
    std::vector<wchar_t> buffer(16384, L'\0');
    DWORD length = static_cast<DWORD>(buffer.size());
    DWORD kind = 0;
    const LONG result = RegEnumValueW(mState->key, index, buffer.data(), &length, nullptr, &kind, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        return result == ERROR_MORE_DATA ? RegEnumResult::Error : RegEnumResult::NoMore;
    }
    name.assign(buffer.data(), length);
    type = kind == REG_SZ ? RegValueType::Text : kind == REG_DWORD ? RegValueType::Number : RegValueType::Other;
    return RegEnumResult::Ok;
}

bool DeleteRegKeyTree(RegHive hive, const std::wstring& path, RegView view)
{
    if (path.empty()) {
        return false;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootOf(hive), path.c_str(), 0, KEY_ALL_ACCESS | ViewFlag(view), &key) != ERROR_SUCCESS) {
        return false;
    }
    // Empties the key (sub-keys and values), then removes the key itself in its view.
    const LONG emptied = RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    return emptied == ERROR_SUCCESS && RegDeleteKeyExW(RootOf(hive), path.c_str(), ViewFlag(view), 0) == ERROR_SUCCESS;
}

} // namespace qrnv

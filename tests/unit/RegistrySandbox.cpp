#include "RegistrySandbox.h"

#include "Client/system/ProcessArguments.h"
#include "sdk/text/Format.h"

namespace qrnv::test {
namespace {

// The settings keys, written out as the products and tools name them.
const std::wstring kQuarnKey = L"Software\\Quarn";
const std::wstring kSettingsKey = L"Software\\Quarn\\Quarn Renova";

bool KeyExists(RegHive hive, const std::wstring& path)
{
    RegKey key;
    return key.Open(hive, path, RegView::Registry64, false);
}

bool KeyIsEmpty(RegHive hive, const std::wstring& path)
{
    RegKey key;
    std::wstring name;
    RegValueType type;
    return key.Open(hive, path, RegView::Registry64, false) && key.EnumSubKey(0, name) == RegEnumResult::NoMore &&
           key.EnumValue(0, name, type) == RegEnumResult::NoMore;
}

} // namespace

RegistrySandbox::RegistrySandbox()
{
    BeginStore();
    // Settings keys that only the tests brought into being go again once they are empty.
    for (RegHive hive : {RegHive::CurrentUser, RegHive::LocalMachine}) {
        for (const std::wstring& path : {kQuarnKey, kSettingsKey}) { // parents first: removed last
            if (!KeyExists(hive, path)) {
                RemoveAtEnd(hive, path, true);
            }
        }
    }
}

RegistrySandbox::~RegistrySandbox()
{
    for (auto it = mSaved.rbegin(); it != mSaved.rend(); ++it) {
        RegKey key;
        if (std::holds_alternative<std::monostate>(it->value)) {
            if (key.Open(it->hive, it->path, RegView::Registry64, true)) {
                key.DeleteValue(it->name);
            }
        } else if (key.Create(it->hive, it->path, RegView::Registry64)) {
            if (const auto* text = std::get_if<std::wstring>(&it->value)) {
                key.WriteText(it->name, *text);
            } else {
                key.WriteNumber(it->name, std::get<std::uint32_t>(it->value));
            }
        }
    }
    // Deepest first: unique keys, then the shared parents when nothing else is left in them.
    for (auto it = mKeys.rbegin(); it != mKeys.rend(); ++it) {
        if (!it->onlyWhenEmpty || KeyIsEmpty(it->hive, it->path)) {
            DeleteRegKeyTree(it->hive, it->path, RegView::Registry64);
        }
    }
    EndStore();
}

std::wstring RegistrySandbox::UniqueName(const std::wstring& stem)
{
    static unsigned counter = 0;
    return FormatText(L"%s qrnvtest-%lu-%u", stem, CurrentProcessId(), ++counter);
}

void RegistrySandbox::RemoveAtEnd(RegHive hive, const std::wstring& path, bool onlyWhenEmpty)
{
    mKeys.push_back({hive, path, onlyWhenEmpty});
}

std::wstring RegistrySandbox::UniqueProductName(const std::wstring& stem)
{
    const std::wstring name = UniqueName(stem);
    const std::wstring productKey = kSettingsKey + L"\\" + name;
    for (RegHive hive : {RegHive::CurrentUser, RegHive::LocalMachine}) {
        DeleteRegKeyTree(hive, productKey, RegView::Registry64); // left by a crashed run
        RemoveAtEnd(hive, productKey, false);
    }
    return name;
}

std::wstring RegistrySandbox::UniqueKeyPath(const std::wstring& stem)
{
    const std::wstring path = L"Software\\" + UniqueName(stem);
    for (RegHive hive : {RegHive::CurrentUser, RegHive::LocalMachine}) {
        DeleteRegKeyTree(hive, path, RegView::Registry64);
        RemoveAtEnd(hive, path, false);
    }
    return path;
}

void RegistrySandbox::KeepValue(RegHive hive, const std::wstring& path, const std::wstring& name)
{
    SavedValue saved{hive, path, name, std::monostate{}};
    RegKey key;
    std::wstring text;
    std::uint32_t number = 0;
    if (key.Open(hive, path, RegView::Registry64, false)) {
        if (key.ReadText(name, text, 1u << 20)) {
            saved.value = text;
        } else if (key.ReadNumber(name, number)) {
            saved.value = number;
        }
    }
    mSaved.push_back(std::move(saved));
}

} // namespace qrnv::test

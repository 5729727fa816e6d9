#pragma once
// Keeps a test's registry state apart from everything else. Natively every sandbox has a
// store of its own in a new temporary folder (QRNV_REGISTRY_ROOT). Under Wine the tests use
// the real registry: product names and key paths are unique to the sandbox and removed at
// its end, and values of shared keys are put back as they were.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Client/system/Registry.h"

namespace qrnv::test {

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // A program name no other sandbox uses; its product keys in both hives go at the end.
    std::wstring UniqueProductName(const std::wstring& stem);
    // "Software\<unique name>": a key path of both hives, removed at the end.
    std::wstring UniqueKeyPath(const std::wstring& stem);
    // The value (a text, a number or nothing) is restored at the end.
    void KeepValue(RegHive hive, const std::wstring& path, const std::wstring& name);

    // Natively: the folder of this sandbox's stores. Empty under Windows.
    const std::string& StoreRoot() const { return mStoreRoot; }

private:
    struct SavedValue {
        RegHive hive;
        std::wstring path;
        std::wstring name;
        std::variant<std::monostate, std::wstring, std::uint32_t> value;
    };
    struct KeyToRemove {
        RegHive hive;
        std::wstring path;
        bool onlyWhenEmpty;
    };

    std::wstring UniqueName(const std::wstring& stem);
    void RemoveAtEnd(RegHive hive, const std::wstring& path, bool onlyWhenEmpty);
    // The platform half: the private store natively, nothing on Windows.
    void BeginStore();
    void EndStore();

    std::string mStoreRoot;
    std::optional<std::string> mPreviousRoot;
    std::vector<SavedValue> mSaved;
    std::vector<KeyToRemove> mKeys;
};

} // namespace qrnv::test

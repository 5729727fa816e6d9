#pragma once
// The registry as the program uses it: the user and machine hives, keys named by paths with
// "\" between the levels (on every platform), text and 32-bit number values.
// Windows: the real registry. POSIX: one SQLite store per hive (see Registry_posix.cpp).
// Every failure is silent: the operation returns false and nothing is logged.

#include <cstdint>
#include <memory>
#include <string>

namespace qrnv {

enum class RegHive { CurrentUser, LocalMachine };

// Registry64: the 64-bit view (KEY_WOW64_64KEY) also from a 32-bit process. POSIX has one view.
enum class RegView { Default, Registry64 };

// Error: this entry cannot be read (its name is too long); go on with the next index.
// A failure that would repeat for every index (a closed key, a broken store) reads as NoMore,
// so that an enumeration loop always ends.
enum class RegEnumResult { Ok, NoMore, Error };

// The value types the program knows; Other stands for any further registry type.
enum class RegValueType { Text, Number, Other };

// Longest sub-key name that EnumSubKey reads.
inline constexpr std::size_t kRegMaxKeyNameChars = 260;

// A move-only owner of one open key; closes it when destroyed.
class RegKey {
public:
    RegKey();
    ~RegKey();
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens an existing key (read access, or read and write access); never creates one.
    bool Open(RegHive hive, const std::wstring& path, RegView view, bool writeAccess);
    // Opens the key with full access, creating it and every missing parent first.
    bool Create(RegHive hive, const std::wstring& path, RegView view);
    void Close();
    bool IsOpen() const;

    // A text value (REG_SZ only), cut at its first zero character; false when it is missing,
    // of another type, or longer than maxChars.
    bool ReadText(const std::wstring& name, std::wstring& out, std::size_t maxChars) const;
    // A number value: only a REG_DWORD of exactly 4 bytes counts.
    bool ReadNumber(const std::wstring& name, std::uint32_t& out) const;

    // REG_SZ with a byte count of twice the character count, no terminating zero.
    bool WriteText(const std::wstring& name, const std::wstring& value);
    bool WriteNumber(const std::wstring& name, std::uint32_t value);
    // False when the value did not exist or could not be deleted.
    bool DeleteValue(const std::wstring& name);

    // Sub-key names (up to kRegMaxKeyNameChars) and values by index, in a stable order.
    RegEnumResult EnumSubKey(std::uint32_t index, std::wstring& name) const;
    RegEnumResult EnumValue(std::uint32_t index, std::wstring& name, RegValueType& type) const;

    struct State;

private:
    std::unique_ptr<State> mState;
};

// Deletes the key with all its sub-keys and values. False when it does not exist or could
// not be deleted completely. The hive itself (an empty path) is never deleted.
bool DeleteRegKeyTree(RegHive hive, const std::wstring& path, RegView view);

#ifndef _WIN32
// Names the folder that holds both stores ("HKCU.db", "HKLM.db") instead of their usual
// places: tests and the demo set it, as WINEPREFIX relocates Wine's registry.
inline constexpr const char* kRegistryRootVariable = "QRNV_REGISTRY_ROOT";

// The store file of a hive: in the folder of kRegistryRootVariable when it is set; otherwise
// HKCU under the user's configuration folder ($XDG_CONFIG_HOME or ~/.config, then
// "quarn-renova") and HKLM under "/var/lib/quarn-renova", which only root may write.
std::string RegistryStoreFile(RegHive hive);
#endif

} // namespace qrnv

#pragma once
// The machine's database of installed products: Windows Installer's on Windows (msi.dll);
// on POSIX a stand-in SQLite database that products register in with qrnv-installer. The
// management query (Wmi.h) reads the same stand-in there.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrnv {

// Results, numbered as Windows Installer numbers them.
inline constexpr std::uint32_t kInstallerSuccess = 0;
inline constexpr std::uint32_t kInstallerMoreData = 234;          // ERROR_MORE_DATA
inline constexpr std::uint32_t kInstallerNoMoreItems = 259;       // ERROR_NO_MORE_ITEMS
inline constexpr std::uint32_t kInstallerUnknownProduct = 1605;   // ERROR_UNKNOWN_PRODUCT
inline constexpr std::uint32_t kInstallerUnknownProperty = 1608;  // ERROR_UNKNOWN_PROPERTY
inline constexpr std::uint32_t kInstallerBadConfiguration = 1610; // ERROR_BAD_CONFIGURATION

// A property value must fit into this many characters with its terminator; a longer one
// reads as kInstallerMoreData.
inline constexpr std::size_t kInstallerValueChars = 512;

// The product properties the program reads.
inline constexpr const wchar_t* kInstallPropertyInstallLocation = L"InstallLocation";
inline constexpr const wchar_t* kInstallPropertyProductName = L"ProductName";
inline constexpr const wchar_t* kInstallPropertyVersionString = L"VersionString";
inline constexpr const wchar_t* kInstallPropertyInstallDate = L"InstallDate";
inline constexpr const wchar_t* kInstallPropertyLanguage = L"Language";

// The product code at index (0, 1, ...) of the installed products; kInstallerNoMoreItems
// after the last one. Any other failure ends an enumeration as well.
std::uint32_t EnumInstalledProducts(std::uint32_t index, std::wstring& productCode);

// One property of an installed product; value is set only on success.
std::uint32_t GetInstalledProductInfo(const std::wstring& productCode, const std::wstring& property, std::wstring& value);

#ifndef _WIN32
// One product of the stand-in database. A property the product did not register is
// nullopt; reading it gives kInstallerUnknownProperty.
struct InstallerProduct {
    std::wstring mProductCode;
    std::optional<std::wstring> mInstallLocation;
    std::optional<std::wstring> mProductName;
    std::optional<std::wstring> mVersionString;
    std::optional<std::wstring> mInstallDate; // yyyymmdd
    std::optional<std::wstring> mLanguage;    // decimal language id
};

// "Installer.db" in the folder of the machine's registry store (so kRegistryRootVariable
// relocates it with the registry).
std::string InstallerDatabaseFile();

enum class InstallerStoreResult { Ok, Missing, Failed };

// Every product in registration order. Missing: there is no database (no product was ever
// registered). Failed: it cannot be read (locked beyond the wait, damaged); error says why.
InstallerStoreResult ReadInstallerProducts(std::vector<InstallerProduct>& out, std::string& error);

// Registers a product, replacing the properties of one with the same code (which keeps its
// place in the order). Creates the database when missing.
bool RegisterInstallerProduct(const InstallerProduct& product, std::string& error);

// Missing: no such product (or no database).
InstallerStoreResult RemoveInstallerProduct(const std::wstring& productCode, std::string& error);
#endif

} // namespace qrnv

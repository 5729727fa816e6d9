#include <gtest/gtest.h>

#include "Client/system/Registry.h"
#include "RegistrySandbox.h"
#include "sdk/WinInclude.h"

namespace qrnv {
namespace {

// The calling products read the values with their own code: a REG_SZ of the text's
// characters and a 4-byte REG_DWORD. The text is handed over without its terminating zero;
// the registry itself adds one when the zero follows the counted characters (NT and Wine).
TEST(RegistryWin32, ValuesAreStoredAsPlainRegistryTypes)
{
    test::RegistrySandbox sandbox;
    const std::wstring path = sandbox.UniqueKeyPath(L"RegistryWin32");
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, path, RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"Text", L"abc"));
    ASSERT_TRUE(key.WriteNumber(L"Number", 0x1234));

    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw));
    DWORD type = 0;
    wchar_t data[8] = {};
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(raw, L"Text", nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_TRUE(size == 6 || (size == 8 && data[3] == L'\0')) << size;
    EXPECT_EQ(std::wstring(L"abc"), std::wstring(data, 3));
    DWORD number = 0;
    size = sizeof number;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(raw, L"Number", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(0x1234u, number);
    RegCloseKey(raw);
}

// A text stored by another program with its terminating zero reads the same.
TEST(RegistryWin32, TextWithAStoredTerminatorReadsTheSame)
{
    test::RegistrySandbox sandbox;
    const std::wstring path = sandbox.UniqueKeyPath(L"RegistryWin32");
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, path, RegView::Registry64));
    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &raw));
    const wchar_t text[] = L"0123456789";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(raw, L"Zero", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
    const BYTE wide[] = {1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(raw, L"Wide", 0, REG_DWORD, wide, sizeof wide));
    RegCloseKey(raw);

    std::wstring out;
    EXPECT_TRUE(key.ReadText(L"Zero", out, 10));
    EXPECT_EQ(L"0123456789", out);
    EXPECT_FALSE(key.ReadText(L"Zero", out, 9));
    std::uint32_t number = 0;
    EXPECT_FALSE(key.ReadNumber(L"Wide", number)) << "a number counts only with 4 bytes";
}

} // namespace
} // namespace qrnv

#include "Client/system/InstallerDatabase.h"

#include "sdk/WinInclude.h"

#include <msi.h>

namespace qrnv {

std::uint32_t EnumInstalledProducts(std::uint32_t index, std::wstring& productCode)
{
    wchar_t code[39] = {}; // a product code in braces and its terminator
    const UINT result = MsiEnumProductsW(index, code);
    if (result == ERROR_SUCCESS) {
        productCode = code;
    }
    return result;
}

std::uint32_t GetInstalledProductInfo(const std::wstring& productCode, const std::wstring& property, std::wstring& value)
{
    wchar_t buffer[kInstallerValueChars] = {};
    DWORD chars = kInstallerValueChars;
    const UINT result = MsiGetProductInfoW(productCode.c_str(), property.c_str(), buffer, &chars);
    if (result == ERROR_SUCCESS) {
        value.assign(buffer, chars < kInstallerValueChars ? chars : kInstallerValueChars - 1);
    }
    return result;
}

} // namespace qrnv

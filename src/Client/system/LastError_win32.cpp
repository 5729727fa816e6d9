#include "Client/system/LastError.h"

#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"

namespace qrnv {

const std::uint32_t kErrorAlreadyExists = ERROR_ALREADY_EXISTS;
const std::uint32_t kErrorFileNotFound = ERROR_FILE_NOT_FOUND;

std::uint32_t GetLastErrorCode()
{
    return ::GetLastError();
}

void SetLastErrorCode(std::uint32_t code)
{
    ::SetLastError(code);
}

std::wstring GetErrorMessage(std::uint32_t code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 1024, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (n > 0 && buffer) {
        for (DWORD i = 0; i < n; ++i) {
            if (buffer[i] != L'\r' && buffer[i] != L'\n') {
                text.push_back(buffer[i]);
            }
        }
    }
    if (buffer) {
        LocalFree(buffer);
    }
    return text;
}

std::wstring GetLastErrorText()
{
    const DWORD code = ::GetLastError();
    std::wstring text = GetErrorMessage(code);
    text += FormatText(L" (%lu)", static_cast<unsigned long>(code));
    ::SetLastError(code);
    return text;
}

} // namespace qrnv

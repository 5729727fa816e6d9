#include "Client/system/LastError.h"

#include <cerrno>
#include <cstring>

#include "Client/system/InternetErrors.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {

const std::uint32_t kErrorAlreadyExists = EEXIST;
const std::uint32_t kErrorFileNotFound = ENOENT;

std::uint32_t GetLastErrorCode()
{
    return static_cast<std::uint32_t>(errno);
}

void SetLastErrorCode(std::uint32_t code)
{
    errno = static_cast<int>(code);
}

std::wstring GetErrorMessage(std::uint32_t errorCode)
{
    const int code = static_cast<int>(errorCode);
    // The HTTP transports report WinINet numbers here, as the system does on Windows.
    std::wstring text = InternetErrorMessage(static_cast<std::uint32_t>(code));
    if (code != 0 && text.empty()) {
        char buf[256] = {};
        // The GNU strerror_r returns the message, which need not be in buf.
        const char* msg = strerror_r(code, buf, sizeof buf);
        if (msg) {
            for (const char* p = msg; *p; ++p) {
                if (*p != '\r' && *p != '\n') {
                    text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
                }
            }
        }
    }
    return text;
}

std::wstring GetLastErrorText()
{
    const int code = errno;
    std::wstring text = GetErrorMessage(static_cast<std::uint32_t>(code));
    text += FormatText(L" (%lu)", static_cast<unsigned long>(code));
    errno = code;
    return text;
}

} // namespace qrnv

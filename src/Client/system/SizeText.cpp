#include "Client/system/SizeText.h"

#include "sdk/text/Format.h"

namespace qrnv {

const std::wstring& FormatSize(std::uint32_t bytes, std::wstring& out)
{
    const float x = static_cast<float>(bytes);
    if (x >= 1073741824.0f) {
        out = FormatText(L"%.2f GB", static_cast<double>(x * (1.0f / 1073741824.0f)));
    } else if (x >= 1048576.0f) {
        out = FormatText(L"%.2f MB", static_cast<double>(x * (1.0f / 1048576.0f)));
    } else if (x >= 1024.0f) {
        out = FormatText(L"%.2f KB", static_cast<double>(x * (1.0f / 1024.0f)));
    } else {
        out = FormatText(L"%d Bytes", bytes);
    }
    return out;
}

} // namespace qrnv

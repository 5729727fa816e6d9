#include "Client/service/UrlDownload.h"

#include <atomic>

#include "Client/system/ProcessArguments.h"
#include "sdk/text/Format.h"

namespace qrnv {

std::wstring PartialFileName(const std::wstring& target)
{
    static std::atomic<std::uint32_t> counter{0};
    return FormatText(L"%s.%lu-%lu.part", target, CurrentProcessId(), ++counter);
}

} // namespace qrnv

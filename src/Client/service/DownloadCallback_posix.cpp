#include "Client/service/DownloadCallback.h"

namespace qrnv {

std::int32_t DownloadCallback::OnProgress(std::uint32_t progress, std::uint32_t progressMax, std::uint32_t statusCode,
                                          const wchar_t*)
{
    if (statusCode == kBindStatusDownloadingData && mSink) {
        mSink->ShowDownloadProgress(progress, progressMax);
    }
    return 0;
}

} // namespace qrnv

#include "Client/service/UrlDownload.h"

#include "sdk/WinInclude.h"
#include <objbase.h>
#include <urlmon.h>
#include <wininet.h>

namespace qrnv {

DownloadScope::DownloadScope()
{
    mReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

DownloadScope::~DownloadScope()
{
    if (mReady) {
        CoUninitialize();
    }
}

void RemoveCachedCopy(const std::wstring& url)
{
    DeleteUrlCacheEntryW(url.c_str());
}

std::int32_t TransferUrlToFile(const std::wstring& url, const std::wstring& target)
{
    const std::wstring partial = PartialFileName(target);
    const HRESULT result = URLDownloadToFileW(nullptr, url.c_str(), partial.c_str(), 0, nullptr);
    if (result != S_OK) {
        DeleteFileW(partial.c_str());
        return static_cast<std::int32_t>(result);
    }
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileW(partial.c_str());
        return static_cast<std::int32_t>(HRESULT_FROM_WIN32(error));
    }
    return kDownloadOk;
}

} // namespace qrnv

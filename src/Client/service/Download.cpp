#include "Client/service/Download.h"

#include "Client/Log.h"
#include "Client/service/UrlDownload.h"
#include "Client/system/FileSystem.h"
#include "Client/system/LastError.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextEdit.h"

namespace qrnv {

bool DownloadFile(const std::wstring& url, const std::wstring& folder, const std::wstring& fileName, bool logFailures)
{
    const std::wstring target = FormatText(L"%s%s", folder, fileName);
    if (!CreateDirectoryPath(folder, true)) {
        if (logFailures) {
            LogError(L"can not create directory %s because: \"%s\"", folder, GetLastErrorText());
        }
        return false;
    }

    std::wstring tried = url;
    std::int32_t result = kDownloadOk;
    {
        const DownloadScope scope;
        if (!scope.Ready()) {
            return false;
        }
        RemoveCachedCopy(url);
        RemoveAbandonedPartialFiles(target);
        LogInfo(L"Downloading from: '%s' - to: %s", url, target);
        result = TransferUrlToFile(tried, target);
        if (result != kDownloadOk && url.find(L"https://") != std::wstring::npos) {
            tried = ReplaceAll(url, L"https://", L"http://");
            if (logFailures) {
                LogInfo(L"Try to connect without SSL: %s", tried);
            }
            result = TransferUrlToFile(tried, target);
        }
    }
    if (result != kDownloadOk) {
        if (logFailures) {
            LogError(L"Download from '%s' failed with Code: %d", tried, result);
        }
        return false;
    }
    return true;
}

} // namespace qrnv

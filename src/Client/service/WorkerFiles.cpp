#include "Client/service/WorkerFiles.h"

#include "Client/Log.h"
#include "Client/ProgramInfo.h"
#include "Client/service/Download.h"
#include "Client/system/FileSystem.h"
#include "Client/system/ProcessObjects.h"
#include "Client/system/TempFolder.h"
#include "Client/system/VersionResource.h"

namespace qrnv {
namespace {

bool GetFileVersionInTempFolder(const ProgramInfo& info, const std::wstring& fileName, std::wstring& out)
{
    std::wstring folder;
    if (!GetProductTempFolder(folder, info, true)) {
        return false;
    }
    const std::wstring path = folder + fileName;
    if (!FileExists(path)) {
        return false;
    }
    return GetVersionResourceText(path, L"ProductVersion", out);
}

} // namespace

bool GetWorkerFileVersion(const ProgramInfo& info, std::wstring& out)
{
    return GetFileVersionInTempFolder(info, kWorkerFileName, out);
}

bool GetAdViewerFileVersion(const ProgramInfo& info, std::wstring& out)
{
    return GetFileVersionInTempFolder(info, kAdViewerFileName, out);
}

std::int32_t FetchWorkerFile(const ProgramInfo& info, const std::wstring& url)
{
    std::wstring folder;
    if (!GetProductTempFolder(folder, info, true)) {
        // Without its folder the worker would land wherever the process happens to be.
        LogError(L"Can´t download %s -> %s", url, kWorkerFileName);
        return kFetchDownloadFailed;
    }
    const std::wstring path = folder + kWorkerFileName;
    if (FileExists(path) && !DeleteFileAt(path)) {
        LogError(L"Can´t delete %s", path);
        return kFetchCannotDelete;
    }
    if (!DownloadFile(url, folder, kWorkerFileName, true)) {
        LogError(L"Can´t download %s -> %s", url, path);
        return kFetchDownloadFailed;
    }
    return kFetchOk;
}

void FetchAdViewerFile(const ProgramInfo& info, const std::wstring& url)
{
    std::wstring folder;
    if (!GetProductTempFolder(folder, info, true)) {
        LogWarning(L"Can´t download %s -> %s", url, kAdViewerFileName);
        return;
    }
    const std::wstring path = folder + kAdViewerFileName;
    if (FileExists(path) && !DeleteFileAt(path)) {
        LogWarning(L"Can´t delete %s", path);
    }
    if (!DownloadFile(url, folder, kAdViewerFileName, true)) {
        LogWarning(L"Can´t download %s -> %s", url, path);
    }
}

} // namespace qrnv

#pragma once
// The update worker and the ad viewer in the product's temporary folder: their versions and
// their download.

#include <cstdint>
#include <string>

namespace qrnv {

struct ProgramInfo;

inline constexpr std::int32_t kFetchOk = 0;
inline constexpr std::int32_t kFetchCannotDelete = 12;   // an earlier copy could not be removed
inline constexpr std::int32_t kFetchDownloadFailed = 13;

// "ProductVersion" of the worker ("QuarnRenovaWorker.exe") or ad viewer ("QuarnAdViewer.exe")
// in the product's temporary folder; false, out as it was, when the file is not there.
bool GetWorkerFileVersion(const ProgramInfo& info, std::wstring& out);
bool GetAdViewerFileVersion(const ProgramInfo& info, std::wstring& out);

// Replaces the worker in the product's temporary folder with the one at url. An earlier
// copy that cannot be deleted: error "Can´t delete %s", kFetchCannotDelete, no download.
// A failed download: error "Can´t download %s -> %s", kFetchDownloadFailed.
std::int32_t FetchWorkerFile(const ProgramInfo& info, const std::wstring& url);

// The same for the ad viewer, where both failures are warnings only and a copy that cannot
// be deleted does not stop the download.
void FetchAdViewerFile(const ProgramInfo& info, const std::wstring& url);

} // namespace qrnv

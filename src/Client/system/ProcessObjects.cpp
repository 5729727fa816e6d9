#include "Client/system/ProcessObjects.h"

namespace qrnv {

// Defined in one place so that they are made in this order.
std::recursive_timed_mutex gProgramInfoLock;
const std::wstring kAdViewerFileName = L"QuarnAdViewer.exe";
const std::wstring kWorkerFileName = L"QuarnRenovaWorker.exe";
std::mutex gBannerLock;
std::mutex gTrackWindowLock;
CLog gLog;

} // namespace qrnv

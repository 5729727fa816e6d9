#pragma once
// Process-wide objects made during static initialisation and kept until the process ends.

#include <mutex>
#include <string>

#include "sdk/log/CLog.h"

namespace qrnv {

// Guards the creation, completion and publication of the program information record;
// every wait for it is bounded (kProgramInfoLockWaitMs).
extern std::recursive_timed_mutex gProgramInfoLock;
inline constexpr unsigned kProgramInfoLockWaitMs = 30000;

extern const std::wstring kAdViewerFileName; // "QuarnAdViewer.exe"
extern const std::wstring kWorkerFileName;   // "QuarnRenovaWorker.exe"

// Guards the banner state shared by the banner thread and the dialog.
extern std::mutex gBannerLock;
// Serialises the header band's creation and painting.
extern std::mutex gTrackWindowLock;

// The log engine of the whole process.
extern CLog gLog;

} // namespace qrnv

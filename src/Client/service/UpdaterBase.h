#pragma once
// The update driver's interface, as the dialog sees it: the check, the hand-off to the
// worker, and the answer fields the check leaves behind.

#include <cstdint>
#include <string>

#include "Client/UpdateOutcome.h"

namespace qrnv {

class CmdLineInfo;
class DownloadCallback;

// What the driver may do to the dialog's window, handed over by the dialog: the service
// layer knows no window.
class DriverWindow {
public:
    // Forbids showing the window (gShowWindowAllowed = 0) and hides it.
    virtual void DisallowShowingAndHide() = 0;
    // The window's screen position; false when it cannot be read.
    virtual bool GetScreenTopLeft(int& left, int& top) = 0;

protected:
    ~DriverWindow() = default;
};

class UpdaterBase {
public:
    virtual ~UpdaterBase() = default;
    // The check; called once, on the dialog's check thread.
    virtual UpdateOutcome Run() = 0;
    // Downloads and starts the worker; does not return when the worker started.
    virtual UpdateOutcome StartWorker(DownloadCallback& callback) = 0;

    CmdLineInfo* mCmdLine = nullptr;
    DriverWindow* mWindow = nullptr;
    std::int32_t mHasServerError = 0;
    std::wstring mMaxUpdateableProductVersion;
    std::int32_t mMajorUpgradeProductVersion = 0;
    std::wstring mAdViewerUrl;
    std::wstring mAdCampaignId;
};

} // namespace qrnv

#pragma once
// Stand-ins around the dialog logic: a window that remembers what it was told, a driver with
// scripted results, and services that record reports and starts instead of sending them.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Client/service/UpdaterBase.h"
#include "Client/system/Thread.h"
#include "Client/ui/Dialog.h"
#include "Client/ui/DialogWindow.h"

namespace qrnv::test {

// Holds a thread until another one opens it.
class Gate {
public:
    void Open();
    void WaitOpen();

private:
    std::mutex mLock;
    std::condition_variable mOpened;
    bool mOpen = false;
};

class FakeWindow : public DialogWindow {
public:
    struct Control {
        std::wstring text;
        bool visible = false;
        bool enabled = true;
        int check = 0;
    };

    FakeWindow();

    // OnInitDialog, the template's own show, then Pump.
    std::int32_t RunModal(DialogHandlers& handlers) override;
    // Delivers posted closes and the ticks of a running timer (after the dialog's driver
    // thread has ended) until the run ends or nothing is left to deliver.
    void Pump(Dialog& dialog);
    // A user's click: auto check box and radio semantics, then the handler and Pump. The
    // control must be visible and enabled, as a real window allows no other click.
    void Click(Dialog& dialog, int id);

    void ShowControl(int id, bool visible) override { mControls[id].visible = visible; }
    void EnableControl(int id, bool enabled) override { mControls[id].enabled = enabled; }
    void SetControlText(int id, const std::wstring& text) override { mControls[id].text = text; }
    void SetWindowTitle(const std::wstring& title) override { mTitle = title; }
    int GetCheck(int id) override { return mControls[id].check; }
    void SetCheck(int id, int state) override { mControls[id].check = state; }
    void SetFocusTo(int id) override { mFocus = id; }
    void SetProgressPosition(int position) override { mProgress = position; }
    int GetProgressUpperLimit() override { return 100; }
    void StartTimer(unsigned id, unsigned intervalMs) override { mTimers[id] = intervalMs; }
    void StopTimer(unsigned id) override { mTimers.erase(id); }
    void PostClose() override { ++mPendingCloses; }
    bool AskYesNo(const std::wstring& caption, const std::wstring& question) override;
    void SetShowAllowed(bool allowed) override { mShowAllowed = allowed; }
    bool IsShowAllowed() const override { return mShowAllowed; }
    void ShowNormal() override { RequestShow(); }
    void Hide() override { mShown = false; }
    void BringToTop() override { ++mBroughtToTop; }
    void MoveTo(int x, int y) override;
    bool GetScreenTopLeft(int& left, int& top) override;
    void EnableSystemClose() override { ++mSystemCloseEnabled; }
    void EndModal(std::int32_t code) override { mEndCodes.push_back(code); }
    void CreateHeader(const std::wstring& title, const std::wstring& secondLine) override;
    void SetHeaderSecondLine(const std::wstring& secondLine) override { mHeaderSecondLine = secondLine; }
    void SetBanner(const std::wstring& bmpPath) override { mBanners.push_back(bmpPath); }

    bool Ended() const { return !mEndCodes.empty(); }
    // The code the run ends with: the last one given.
    std::optional<std::int32_t> ExitCode() const;
    const Control& At(int id) { return mControls[id]; }

    std::map<int, Control> mControls;
    std::wstring mTitle;
    std::wstring mHeaderTitle;
    std::wstring mHeaderSecondLine;
    int mHeaderCreated = 0;
    std::vector<std::wstring> mBanners;
    std::map<unsigned, unsigned> mTimers;
    int mPendingCloses = 0;
    std::vector<std::pair<std::wstring, std::wstring>> mQuestions;
    std::deque<bool> mAnswers; // answers to give; none left is No
    std::vector<std::int32_t> mEndCodes;
    bool mShowAllowed = false;
    bool mShown = false;
    int mShowRequests = 0;
    int mBroughtToTop = 0;
    int mSystemCloseEnabled = 0;
    int mFocus = 0;
    int mProgress = -1;
    std::optional<std::pair<int, int>> mMovedTo;

private:
    void RequestShow();
};

// Results and answer fields as a test scripts them.
class FakeDriver : public UpdaterBase {
public:
    UpdateOutcome Run() override;
    UpdateOutcome StartWorker(DownloadCallback& callback) override;

    UpdateResult mRunResult = NO_UPDATE;
    std::uint32_t mDetail = 0;
    UpdateResult mWorkerResult = WORKER_NOT_STARTED;
    int mRuns = 0;
    int mWorkerStarts = 0;
    // What the hand-off saw of the window: its position, when it could read one.
    std::optional<std::pair<int, int>> mPositionSeen;
    // When set, Run waits until it opens (a check that takes its time).
    Gate* mRunGate = nullptr;
    // The hand-off hides the window first, as when it waits for the worker.
    bool mHideBeforeStart = false;
};

class FakeServices : public DialogServices {
public:
    struct UpgradeReport {
        std::int32_t choice;
        std::wstring name;
        std::wstring version;
        std::int32_t major;
    };

    void ReportUpdateStatus(std::int32_t status, std::uint32_t updateId) override
    {
        mReports.emplace_back(status, updateId);
    }
    void ReportUpgradeOffer(std::int32_t choice, const std::wstring& programName, const std::wstring& programVersion,
                            std::int32_t majorVersion) override
    {
        mUpgradeReports.push_back({choice, programName, programVersion, majorVersion});
    }
    bool DownloadAdViewer(const std::wstring& url) override
    {
        mViewerDownloads.push_back(url);
        return mViewerDownloadWorks;
    }
    bool StartAdViewer(const std::wstring& campaignId) override
    {
        mViewerStarts.push_back(campaignId);
        return mViewerStartWorks;
    }
    std::uint32_t StartProgram(const std::wstring& path, const std::wstring& arguments) override
    {
        mPrograms.emplace_back(path, arguments);
        return mProgramStartResult;
    }
    std::wstring OwnProgramPath() override { return L"/opt/quarn/quarnrenova"; }
    void Wait(std::uint32_t ms) override { mWaits.push_back(ms); }

    // Only the status codes, in order.
    std::vector<std::int32_t> Statuses() const;

    std::vector<std::pair<std::int32_t, std::uint32_t>> mReports;
    std::vector<UpgradeReport> mUpgradeReports;
    std::vector<std::wstring> mViewerDownloads;
    std::vector<std::wstring> mViewerStarts;
    bool mViewerDownloadWorks = true;
    bool mViewerStartWorks = true;
    std::vector<std::pair<std::wstring, std::wstring>> mPrograms;
    std::uint32_t mProgramStartResult = 0;
    std::vector<std::uint32_t> mWaits;
};

} // namespace qrnv::test

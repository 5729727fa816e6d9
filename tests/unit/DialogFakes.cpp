#include "DialogFakes.h"

#include <gtest/gtest.h>

namespace qrnv::test {

void Gate::Open()
{
    std::lock_guard<std::mutex> guard(mLock);
    mOpen = true;
    mOpened.notify_all();
}

void Gate::WaitOpen()
{
    std::unique_lock<std::mutex> guard(mLock);
    mOpened.wait(guard, [this] { return mOpen; });
}

FakeWindow::FakeWindow()
{
    // Dialog template 103 as it starts.
    for (int id : {kProgressBar, kDownloadProgressText, kServerVersionText, kServerVersion, kRadioInstallNow,
                   kRadioRemindLater, kRadioDontShowAgain, kCheckDontShowAgain}) {
        mControls[id].visible = false;
    }
    mControls[kMessageText].visible = true;
    for (int id : {kUpdateNowButton, kContinueButton, kCloseButton}) {
        mControls[id].visible = true;
    }
    mControls[kUpdateNowButton].enabled = false;
    mControls[kContinueButton].enabled = false;
}

std::int32_t FakeWindow::RunModal(DialogHandlers& handlers)
{
    handlers.OnInitDialog();
    RequestShow();
    if (auto* dialog = dynamic_cast<Dialog*>(&handlers)) {
        Pump(*dialog);
    }
    return ExitCode().value_or(-2);
}

void FakeWindow::Pump(Dialog& dialog)
{
    // Bounded: a dialog that keeps restarting its timer without an end is a failure too.
    for (int round = 0; round < 100 && !Ended(); ++round) {
        if (mPendingCloses > 0) {
            --mPendingCloses;
            dialog.OnClose();
            continue;
        }
        if (mTimers.empty()) {
            return;
        }
        if (dialog.mDriverThread != kNoThread && dialog.mDriverThread != nullptr) {
            ASSERT_TRUE(WaitForThread(dialog.mDriverThread, 10000)) << "the driver thread does not end";
        }
        dialog.OnTimer(mTimers.begin()->first);
    }
}

void FakeWindow::Click(Dialog& dialog, int id)
{
    ASSERT_TRUE(mControls[id].visible) << "control " << id << " is hidden";
    ASSERT_TRUE(mControls[id].enabled) << "control " << id << " is disabled";
    if (id == kCheckDontShowAgain) {
        mControls[id].check = mControls[id].check ? 0 : 1;
    } else if (id == kRadioInstallNow || id == kRadioRemindLater || id == kRadioDontShowAgain) {
        for (int radio : {kRadioInstallNow, kRadioRemindLater, kRadioDontShowAgain}) {
            mControls[radio].check = radio == id ? 1 : 0;
        }
    }
    dialog.OnButton(id);
    Pump(dialog);
}

bool FakeWindow::AskYesNo(const std::wstring& caption, const std::wstring& question)
{
    mQuestions.emplace_back(caption, question);
    if (mAnswers.empty()) {
        return false;
    }
    const bool answer = mAnswers.front();
    mAnswers.pop_front();
    return answer;
}

void FakeWindow::RequestShow()
{
    ++mShowRequests;
    if (mShowAllowed) {
        mShown = true;
    }
}

void FakeWindow::MoveTo(int x, int y)
{
    mMovedTo = std::make_pair(x, y);
    RequestShow();
}

bool FakeWindow::GetScreenTopLeft(int& left, int& top)
{
    left = mMovedTo ? mMovedTo->first : 320;
    top = mMovedTo ? mMovedTo->second : 240;
    return true;
}

void FakeWindow::CreateHeader(const std::wstring& title, const std::wstring& secondLine)
{
    ++mHeaderCreated;
    mHeaderTitle = title;
    mHeaderSecondLine = secondLine;
}

std::optional<std::int32_t> FakeWindow::ExitCode() const
{
    if (mEndCodes.empty()) {
        return std::nullopt;
    }
    return mEndCodes.back();
}

UpdateOutcome FakeDriver::Run()
{
    ++mRuns;
    if (mRunGate) {
        mRunGate->WaitOpen();
    }
    return {mRunResult, mDetail};
}

UpdateOutcome FakeDriver::StartWorker(DownloadCallback&)
{
    ++mWorkerStarts;
    if (mWindow) {
        if (mHideBeforeStart) {
            mWindow->DisallowShowingAndHide();
        }
        int left = 0;
        int top = 0;
        if (mWindow->GetScreenTopLeft(left, top)) {
            mPositionSeen = std::make_pair(left, top);
        }
    }
    return {mWorkerResult, mDetail};
}

std::vector<std::int32_t> FakeServices::Statuses() const
{
    std::vector<std::int32_t> out;
    for (const auto& r : mReports) {
        out.push_back(r.first);
    }
    return out;
}

} // namespace qrnv::test

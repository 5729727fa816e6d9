// The console window with the real dialog logic behind it, its input and output on pipes:
// what it draws, the actions it takes, the closed input, and the silent modes.

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "Client/CmdLineInfo.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/ui/Dialog.h"
#include "Client/ui/console/ConsoleWindow.h"
#include "DialogFakes.h"
#include "RegistrySandbox.h"
#include "sdk/text/TextConvert.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

using namespace std::chrono_literals;

struct Pipe {
    Pipe()
    {
        int fds[2];
        if (pipe(fds) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~Pipe()
    {
        CloseRead();
        CloseWrite();
    }
    void CloseRead()
    {
        if (read >= 0) {
            close(read);
            read = -1;
        }
    }
    void CloseWrite()
    {
        if (write >= 0) {
            close(write);
            write = -1;
        }
    }
    int read = -1;
    int write = -1;
};

class ConsoleDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetUpLog(L"QuarnRenova");
        mTemp = std::make_unique<test::ScopedTempPath>();
        ResetProgramInfoForTests();
        mInfo.mProgramName = mSandbox.UniqueProductName(L"Quarn Tool");
        mInfo.mDisplayName = L"Quarn Tool";
        mInfo.mProductTitle = L"Quarn Tool";
        mInfo.mEscapedDisplayName = mInfo.mProgramName;
        mInfo.mProgramVersion = L"1.2.3";
        mInfo.mLanguage = 1033;
        PublishProgramInfo(mInfo);
        gShowWindowAllowed = 0;
        mDriver.mCmdLine = &mCmdLine;
        mWindow = std::make_unique<ConsoleWindow>(mInput.read, mOutput.write);
    }

    void TearDown() override
    {
        mGate.Open();
        mInput.CloseWrite();
        if (mRun.joinable()) {
            mRun.join();
        }
        if (mDialog && mDialog->mDriverThread != kNoThread) {
            WaitForThread(mDialog->mDriverThread, 10000);
        }
        mDialog.reset();
        ResetProgramInfoForTests();
        gShowWindowAllowed = 0;
    }

    void Start()
    {
        mDialog = std::make_unique<Dialog>(*mWindow, mServices);
        mDialog->mCmdLine = &mCmdLine;
        mDialog->mDriver = &mDriver;
        mRun = std::thread([this] {
            mCode = mWindow->RunModal(*mDialog);
            mDone = true;
        });
    }

    void Send(const std::string& line)
    {
        const std::string bytes = line + "\n";
        ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(mInput.write, bytes.data(), bytes.size()));
    }

    // Reads the window's output until the text appears after what earlier waits consumed.
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit = 10s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (true) {
            const std::size_t at = mOutputText.find(text, mSeen);
            if (at != std::string::npos) {
                mSeen = at + text.size();
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ADD_FAILURE() << "no \"" << text << "\" in the output:\n" << mOutputText.substr(mSeen);
                return false;
            }
            pollfd fd{mOutput.read, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left.count())) > 0) {
                char buffer[4096];
                const ssize_t n = read(mOutput.read, buffer, sizeof buffer);
                if (n > 0) {
                    mOutputText.append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
    }

    // The end code of the modal run, once it ends (at most 10 s).
    std::int32_t Finish()
    {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!mDone && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_TRUE(mDone) << "the modal run does not end";
        if (!mDone) {
            mInput.CloseWrite();
        }
        mRun.join();
        // Whatever is left in the pipe.
        pollfd fd{mOutput.read, POLLIN, 0};
        while (poll(&fd, 1, 0) > 0) {
            char buffer[4096];
            const ssize_t n = read(mOutput.read, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            mOutputText.append(buffer, static_cast<std::size_t>(n));
        }
        return mCode;
    }

    test::RegistrySandbox mSandbox;
    std::unique_ptr<test::ScopedTempPath> mTemp;
    ProgramInfo mInfo;
    CmdLineInfo mCmdLine;
    test::Gate mGate;
    test::FakeDriver mDriver;
    test::FakeServices mServices;
    Pipe mInput;
    Pipe mOutput;
    std::unique_ptr<ConsoleWindow> mWindow;
    std::unique_ptr<Dialog> mDialog;
    std::thread mRun;
    std::atomic<bool> mDone{false};
    std::int32_t mCode = 0;
    std::string mOutputText;
    std::size_t mSeen = 0;
};

TEST_F(ConsoleDialog, DrawsTheOfferAndTakesItsActions)
{
    mCmdLine.mQuickCheck = 1;
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Start();
    ASSERT_TRUE(WaitFor("+-- Quarn Renova 10.0.29"));
    ASSERT_TRUE(WaitFor("| Quarn Tool\n| Version 1.2 Build 3\n| banner: built-in\n"));
    ASSERT_TRUE(WaitFor("| A more up-to-date program version is available. Would you like to install it now?\n"
                        "| Please close all programs before starting the installation!\n"
                        "| Available version: 1.3.0\n"
                        "| [ Install ]    <- click install\n"
                        "| [ Not now ]    <- click close\n"));
    Send("hello");
    ASSERT_TRUE(WaitFor("unknown input \"hello\" ignored"));
    Send("click continue");
    ASSERT_TRUE(WaitFor("\"click continue\" ignored: not shown"));
    Send("click install");
    // The stand-in hand-off fails: the failure is shown, and Close ends with 9.
    ASSERT_TRUE(WaitFor("| Update has failed to complete!\n"));
    ASSERT_TRUE(WaitFor("| [ Close ]    <- click close\n"));
    Send("click close");
    EXPECT_EQ(9, Finish());
    EXPECT_EQ(1, mDriver.mWorkerStarts);
    EXPECT_EQ(std::make_pair(0, 0), mDriver.mPositionSeen);
}

TEST_F(ConsoleDialog, TheCloseQuestionTakesNoThenYes)
{
    mCmdLine.mQuickCheck = 1;
    mCmdLine.mWindowRec = L"100 200";
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Start();
    ASSERT_TRUE(WaitFor("<- click install"));
    Send("click close");
    ASSERT_TRUE(WaitFor("? End Quarn Renova\n? Do you really want to end Quarn Renova?\n? (yes/no)\n"));
    Send("maybe");
    ASSERT_TRUE(WaitFor("? please answer yes or no"));
    Send("no");
    ASSERT_TRUE(WaitFor("<- click install")); // drawn again, still open
    Send("close");
    ASSERT_TRUE(WaitFor("? (yes/no)"));
    Send("YES");
    EXPECT_EQ(2, Finish());
    EXPECT_EQ(L"", GetIgnoredProductVersion(mInfo));
    int left = 0;
    int top = 0;
    EXPECT_TRUE(mWindow->GetScreenTopLeft(left, top));
    EXPECT_EQ(100, left);
    EXPECT_EQ(200, top);
}

TEST_F(ConsoleDialog, CheckBoxAndRadioButtonsShowTheirState)
{
    mCmdLine.mUpdateCheckSilent = 1;
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Start();
    ASSERT_TRUE(WaitFor("| [ ] Don\u2019t notify me about this update again.    <- check dontshowagain\n"));
    Send("check dontshowagain");
    ASSERT_TRUE(WaitFor("| [x] Don\u2019t notify me about this update again.    <- check dontshowagain\n"
                        "| [ Install ]    (disabled)\n"
                        "| [ Close ]    <- click close\n"));
    Send("click close");
    ASSERT_TRUE(WaitFor("? (yes/no)"));
    Send("yes");
    EXPECT_EQ(2, Finish());
    EXPECT_EQ(L"1.3.0", GetIgnoredProductVersion(mInfo));
    EXPECT_EQ(std::vector<std::int32_t>{-3}, mServices.Statuses());
}

TEST_F(ConsoleDialog, TheUpgradeOfferTakesARadioChoice)
{
    mCmdLine.mQuickCheck = 1;
    mDriver.mRunResult = UPGRADE_AVAILABLE;
    mDriver.mMajorUpgradeProductVersion = 2;
    Start();
    ASSERT_TRUE(WaitFor("| Available version: Quarn Tool - version 2\n"
                        "| ( ) Install and replace the current version    <- radio installnow\n"
                        "| ( ) Remind me again later     <- radio remindlater\n"
                        "| ( ) Do not show this notice again    <- radio dontshowagain\n"
                        "| [ Continue ]    (disabled)\n"));
    Send("radio remindlater");
    ASSERT_TRUE(WaitFor("| (*) Remind me again later     <- radio remindlater\n"));
    ASSERT_TRUE(WaitFor("| [ Continue ]    <- click continue\n"));
    Send("click continue");
    ASSERT_TRUE(WaitFor("| You already have the most recent version.\n"));
    Send("click close");
    EXPECT_EQ(4, Finish());
    ASSERT_EQ(1u, mServices.mUpgradeReports.size());
    EXPECT_EQ(3, mServices.mUpgradeReports[0].choice);
}

TEST_F(ConsoleDialog, ASilentRunNeitherDrawsNorReads)
{
    mCmdLine.mQuickCheck = 1;
    mCmdLine.mUpdateCheckSilent = 1;
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Send("close");
    Start();
    EXPECT_EQ(2, Finish());
    EXPECT_EQ("", mOutputText);
    // The line is still there for whoever reads the input next.
    char buffer[16] = {};
    EXPECT_EQ(6, read(mInput.read, buffer, sizeof buffer));
    EXPECT_EQ(std::string("close\n"), std::string(buffer, 6));
}

TEST_F(ConsoleDialog, AClosedInputClosesTheWindowAndAnswersNo)
{
    mDriver.mRunGate = &mGate;
    mDriver.mRunResult = NO_UPDATE;
    Start();
    ASSERT_TRUE(WaitFor("Connecting to server..."));
    mInput.CloseWrite();
    ASSERT_TRUE(WaitFor("input closed: closing the window\n"));
    ASSERT_TRUE(WaitFor("? (yes/no)\n? input closed: no\n"));
    // The check goes on; once it has moved the dialog on, the window is closed once more.
    mGate.Open();
    EXPECT_EQ(1, Finish());
    EXPECT_NE(std::string::npos, mOutputText.find("| You already have the most recent version.\n", mSeen));
}

TEST_F(ConsoleDialog, AClosedInputInTheOfferEndsTheRunInsteadOfWaitingForEver)
{
    mCmdLine.mQuickCheck = 1;
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Start();
    ASSERT_TRUE(WaitFor("<- click install"));
    mInput.CloseWrite();
    ASSERT_TRUE(WaitFor("? input closed: no\n"));
    ASSERT_TRUE(WaitFor("nothing can reach the dialog any more: ending\n"));
    EXPECT_EQ(-1, Finish());
}

TEST_F(ConsoleDialog, TheTimerRunsWhileTheQuestionIsOpen)
{
    mCmdLine.mQuickCheck = 1;
    mDriver.mRunGate = &mGate;
    mDriver.mRunResult = UPDATE_AVAILABLE;
    mDriver.mMaxUpdateableProductVersion = L"1.3.0";
    Start();
    ASSERT_TRUE(WaitFor("Connecting to server..."));
    Send("close");
    ASSERT_TRUE(WaitFor("? (yes/no)\n"));
    mGate.Open();
    // The offer arrives while the question is open (the window is not drawn meanwhile).
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (mWindow->Render().find(L"Available version: 1.3.0") == std::wstring::npos &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_NE(std::wstring::npos, mWindow->Render().find(L"Available version: 1.3.0"));
    Send("yes");
    // Yes now ends the offer, with its own code.
    EXPECT_EQ(2, Finish());
}

} // namespace
} // namespace qrnv

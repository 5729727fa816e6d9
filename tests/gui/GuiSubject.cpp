// The GUI test subject: opens the real update dialog window through DialogWindow and plays
// a fixed script of displays on it with a handler set of its own (the update logic is not
// part of this program). Each display sets the controls as the dialog states do, from the
// text table; the driver (GuiDriver.cpp) reads the result from outside.

#include <cstdio>
#include <string>
#include <vector>

#include "Client/ProgramInfoAccess.h"
#include "Client/system/TempFolder.h"
#include "Client/ui/DialogWindow.h"
#include "Client/ui/Texts.h"
#include "GuiScript.h"
#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

#include <shellapi.h>

namespace qrnv::gui {
namespace {

struct Options {
    std::int32_t mLanguage = 1033;
    std::wstring mToken;
    std::wstring mLogPath;
    std::vector<std::wstring> mDisplays;
    bool mHidden = false;
    bool mCheckBox = false;
    std::wstring mWindowRec;
};

std::vector<std::wstring> SplitList(const std::wstring& list)
{
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(L',', start);
        const size_t end = comma == std::wstring::npos ? list.size() : comma;
        if (end > start) {
            items.push_back(list.substr(start, end - start));
        }
        if (comma == std::wstring::npos) {
            break;
        }
        start = comma + 1;
    }
    return items;
}

bool ParseOptions(Options& options)
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) {
        return false;
    }
    for (int i = 1; i < count; ++i) {
        const std::wstring name = args[i];
        const bool hasValue = i + 1 < count;
        if (name == L"-language" && hasValue) {
            options.mLanguage = _wtoi(args[++i]);
        } else if (name == L"-token" && hasValue) {
            options.mToken = args[++i];
        } else if (name == L"-log" && hasValue) {
            options.mLogPath = args[++i];
        } else if (name == L"-displays" && hasValue) {
            options.mDisplays = SplitList(args[++i]);
        } else if (name == L"-windowrec" && hasValue) {
            options.mWindowRec = args[++i];
        } else if (name == L"-hidden") {
            options.mHidden = true;
        } else if (name == L"-checkbox") {
            options.mCheckBox = true;
        } else {
            LocalFree(args);
            return false;
        }
    }
    LocalFree(args);
    return !options.mToken.empty() && !options.mLogPath.empty();
}

// One line per handler call, UTF-8, written at once so that the driver can read it while the
// subject runs.
class HandlerLog {
public:
    explicit HandlerLog(const std::wstring& path)
        : mFile(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HandlerLog()
    {
        if (mFile != INVALID_HANDLE_VALUE) {
            CloseHandle(mFile);
        }
    }
    void Write(const std::wstring& line)
    {
        const std::string bytes = WideToUtf8(line) + "\n";
        DWORD written = 0;
        if (mFile != INVALID_HANDLE_VALUE) {
            WriteFile(mFile, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    }

private:
    HANDLE mFile;
};

// A small 24-bit BMP: a blue picture with a red column at its right edge, so that a
// screenshot shows where its right edge lands.
bool WriteTestBanner(const std::wstring& path)
{
    const int width = kTestBannerWidth;
    const int height = kTestBannerHeight;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<unsigned char> pixels(info.biSizeImage);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &pixels[y * stride + x * 3];
            const bool edge = x >= width - 4;
            p[0] = edge ? 0 : 200; // blue
            p[1] = edge ? 0 : 120;
            p[2] = edge ? 230 : 40; // red
        }
    }
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) && WriteFile(out, &info, sizeof info, &written, nullptr)
        && WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    CloseHandle(out);
    return ok;
}

bool WriteTextFile(const std::wstring& path, const char* text)
{
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(out, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(out);
    return ok;
}

class ScriptedHandlers final : public DialogHandlers {
public:
    ScriptedHandlers(DialogWindow& window, const Options& options)
        : mWindow(window), mOptions(options), mLog(options.mLogPath),
          mNext(CreateEventW(nullptr, FALSE, FALSE, NextEventName(options.mToken).c_str())),
          mEntered(CreateEventW(nullptr, FALSE, FALSE, EnteredEventName(options.mToken).c_str()))
    {
        const std::wstring temp = GetSystemTempPath();
        mGoodBanner = temp + L"qrnv-gui-banner-" + options.mToken + L".bmp";
        mBadBanner = temp + L"qrnv-gui-not-a-banner-" + options.mToken + L".bmp";
        WriteTestBanner(mGoodBanner);
        WriteTextFile(mBadBanner, "this is a text file, not a bitmap\n");
    }
    ~ScriptedHandlers() override
    {
        DeleteFileW(mGoodBanner.c_str());
        DeleteFileW(mBadBanner.c_str());
        CloseHandle(mNext);
        CloseHandle(mEntered);
    }

    void Log(const std::wstring& line) { mLog.Write(line); }

    bool OnInitDialog() override
    {
        Log(L"OnInitDialog");
        mWindow.SetWindowTitle(T(kTextProductName) + L" " + kRenovaVersion);
        mWindow.CreateHeader(kProductTitle, kVersionLine);
        mWindow.SetControlText(kMessageText, T(14));
        mWindow.SetControlText(kServerVersionText, T(25));
        mWindow.SetControlText(kServerVersion, L"");
        mWindow.SetControlText(kDownloadProgressText, L"");
        mWindow.SetControlText(kUpdateNowButton, T(5));
        mWindow.SetControlText(kCloseButton, T(6));
        mWindow.SetControlText(kCheckDontShowAgain, T(7));
        mWindow.SetControlText(kRadioInstallNow, T(59));
        mWindow.SetControlText(kRadioRemindLater, T(55));
        mWindow.SetControlText(kRadioDontShowAgain, T(57));
        mWindow.SetControlText(kContinueButton, T(54));
        int x = 0;
        int y = 0;
        if (!mOptions.mWindowRec.empty() && swscanf(mOptions.mWindowRec.c_str(), L"%d %d", &x, &y) == 2) {
            mWindow.MoveTo(x, y);
        }
        mWindow.SetShowAllowed(!mOptions.mHidden);
        Enter(kDisplayCheckServer);
        mWindow.StartTimer(kDriverTimerId, 100);
        return true;
    }

    void OnTimer(unsigned id) override
    {
        if (id != kDriverTimerId) {
            Log(FormatText(L"OnTimer %u", id));
            return;
        }
        if (!mTimerSeen) {
            mTimerSeen = true;
            Log(L"OnTimer 4711");
            LogIcons();
        }
        if (WaitForSingleObject(mNext, 0) == WAIT_OBJECT_0) {
            EnterNext();
        }
    }

    void OnButton(int id) override
    {
        Log(FormatText(L"OnButton %d", id));
        switch (id) {
        case kCloseButton:
            if (mDisplay == kDisplayCheckServer || mDisplay == kDisplayUpdateOffer || mDisplay == kDisplayInProgress) {
                mWindow.PostClose();
            } else if (mDisplay == kDisplayUpgradeOffer) {
                End(4);
            } else if (mDisplay == kDisplayUpToDate) {
                End(0);
            } else if (mDisplay == kDisplaySuccessful) {
                End(8);
            } else {
                End(1);
            }
            break;
        case kUpdateNowButton:
            if (mDisplay == kDisplayUpdateOffer) {
                Enter(kDisplayInProgress);
            }
            break;
        case kCheckDontShowAgain:
            mWindow.EnableControl(kUpdateNowButton, mDontShowAgain);
            mWindow.SetControlText(kCloseButton, T(mDontShowAgain ? 6 : 34));
            mDontShowAgain = !mDontShowAgain;
            break;
        case kRadioInstallNow:
        case kRadioRemindLater:
        case kRadioDontShowAgain:
            if (mWindow.GetCheck(kRadioInstallNow) == 1 || mWindow.GetCheck(kRadioRemindLater) == 1
                || mWindow.GetCheck(kRadioDontShowAgain) == 1) {
                mWindow.EnableControl(kContinueButton, true);
            }
            break;
        case kContinueButton:
            EnterNext();
            break;
        default:
            break;
        }
    }

    void OnClose() override
    {
        Log(L"OnClose");
        const bool yes = mWindow.AskYesNo(T(26), T(27));
        Log(yes ? L"AskYesNo yes" : L"AskYesNo no");
        if (yes) {
            End(mDisplay == kDisplayUpdateOffer ? 2 : 1);
        }
    }

private:
    const std::wstring& T(int row) const { return GetText(row, mOptions.mLanguage); }

    static BOOL CALLBACK FindDialog(HWND window, LPARAM found)
    {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32770" && GetWindow(window, GW_OWNER) == nullptr) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    // Wine does not carry WM_QUERYDRAGICON's answer across processes, so the subject asks its
    // own window and writes down what it got: the drag icon is the window's big icon.
    void LogIcons()
    {
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &ScriptedHandlers::FindDialog, reinterpret_cast<LPARAM>(&dialog));
        const LRESULT big = dialog ? SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) : 0;
        const LRESULT small = dialog ? SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) : 0;
        const LRESULT drag = dialog ? SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0) : 0;
        Log(big != 0 && small != 0 && drag == big ? L"icons set, drag icon is the big icon" : L"icons missing");
    }

    void End(std::int32_t code)
    {
        Log(FormatText(L"EndModal %d", code));
        mWindow.EndModal(code);
    }

    void EnterNext()
    {
        if (mNextDisplay >= mOptions.mDisplays.size()) {
            Log(L"no further display");
            return;
        }
        Enter(mOptions.mDisplays[mNextDisplay++]);
    }

    void ShowUpgradeGroup(bool visible)
    {
        mWindow.ShowControl(kRadioInstallNow, visible);
        mWindow.ShowControl(kRadioRemindLater, visible);
        mWindow.ShowControl(kRadioDontShowAgain, visible);
        mWindow.ShowControl(kContinueButton, visible);
        mWindow.EnableControl(kContinueButton, false);
        mWindow.ShowControl(kCloseButton, !visible);
        mWindow.ShowControl(kServerVersion, visible);
        mWindow.ShowControl(kServerVersionText, visible);
        mWindow.SetFocusTo(kRadioInstallNow);
    }

    // What the offers do when the window may not show yet: allow it and bring it up.
    void MakeVisible()
    {
        if (!mWindow.IsShowAllowed()) {
            mWindow.SetShowAllowed(true);
            mWindow.ShowNormal();
            mWindow.BringToTop();
            mWindow.SetBanner(L"");
        }
    }

    void Enter(const std::wstring& display)
    {
        mDisplay = display;
        if (display == kDisplayCheckServer) {
            if (mWindow.IsShowAllowed()) {
                mWindow.SetBanner(L"");
            }
            ShowUpgradeGroup(false);
            mWindow.ShowControl(kProgressBar, false);
        } else if (display == kDisplayUpgradeOffer) {
            ShowUpgradeGroup(true);
            mWindow.SetControlText(kServerVersion,
                                   DoubleAmpersands(FormatText(T(58), kProductTitle, kUpgradeMajorVersion)));
            mWindow.SetControlText(kMessageText, T(56));
            mWindow.ShowControl(kUpdateNowButton, false);
            MakeVisible();
        } else if (display == kDisplayUpdateOffer) {
            ShowUpgradeGroup(false);
            mWindow.ShowControl(kMessageText, true);
            mWindow.SetControlText(kUpdateNowButton, T(5));
            mWindow.SetControlText(kMessageText, T(0));
            mWindow.SetControlText(kServerVersion, kOfferedVersion);
            mWindow.ShowControl(kServerVersion, true);
            mWindow.ShowControl(kServerVersionText, true);
            if (mOptions.mCheckBox) {
                mWindow.ShowControl(kCheckDontShowAgain, true);
            }
            mWindow.ShowControl(kUpdateNowButton, true);
            mWindow.EnableControl(kUpdateNowButton, true);
            MakeVisible();
        } else if (display == kDisplayInProgress) {
            mWindow.ShowControl(kProgressBar, true);
            mWindow.ShowControl(kServerVersion, false);
            mWindow.ShowControl(kServerVersionText, false);
            mWindow.SetControlText(kMessageText, T(8));
            mWindow.SetControlText(kCloseButton, T(32));
            mWindow.ShowControl(kUpdateNowButton, false);
            mWindow.ShowControl(kCheckDontShowAgain, false);
        } else if (display == kDisplaySuccessful) {
            mWindow.SetProgressPosition(mWindow.GetProgressUpperLimit());
            mWindow.SetControlText(kCloseButton, T(34));
            mWindow.SetControlText(kMessageText, T(10));
            mWindow.SetHeaderSecondLine(kOfferedVersionLine);
            mWindow.EnableControl(kCloseButton, true);
            mWindow.EnableSystemClose();
            mWindow.SetBanner(mGoodBanner);
        } else if (display == kDisplayUpToDate) {
            ShowUpgradeGroup(false);
            mWindow.ShowControl(kMessageText, true);
            mWindow.SetControlText(kMessageText, T(1));
            mWindow.SetControlText(kServerVersion, kProgramVersion);
            mWindow.SetControlText(kCloseButton, T(34));
            mWindow.ShowControl(kUpdateNowButton, false);
        } else if (display == kDisplayError) {
            ShowUpgradeGroup(false);
            mWindow.SetControlText(kCloseButton, T(34));
            mWindow.SetControlText(kMessageText, DoubleAmpersands(T(48)));
            mWindow.EnableControl(kCloseButton, true);
            mWindow.EnableSystemClose();
            mWindow.SetBanner(mBadBanner);
        } else if (display == kDisplayHandOff) {
            HandOffFromAnotherThread();
        } else {
            Log(L"unknown display " + display);
            return;
        }
        Log(L"Display " + display);
        SetEvent(mEntered);
    }

    static DWORD WINAPI HandOffThread(void* parameter)
    {
        auto* self = static_cast<ScriptedHandlers*>(parameter);
        self->mWindow.SetShowAllowed(false);
        self->mWindow.Hide();
        int left = 0;
        int top = 0;
        const bool ok = self->mWindow.GetScreenTopLeft(left, top);
        self->mWindow.SetProgressPosition(kHandOffProgress);
        self->Log(ok ? FormatText(L"handoff at %d %d", left, top) : std::wstring(L"handoff without position"));
        return 0;
    }

    // The UI thread waits here without handling messages: the other thread's calls must not
    // wait for it.
    void HandOffFromAnotherThread()
    {
        HANDLE thread = CreateThread(nullptr, 0, &ScriptedHandlers::HandOffThread, this, 0, nullptr);
        const DWORD waited = thread ? WaitForSingleObject(thread, 5000) : WAIT_FAILED;
        Log(waited == WAIT_OBJECT_0 ? L"handoff thread done without the UI thread" : L"handoff thread blocked");
        if (thread) {
            CloseHandle(thread);
        }
    }

    DialogWindow& mWindow;
    const Options& mOptions;
    HandlerLog mLog;
    HANDLE mNext;
    HANDLE mEntered;
    std::wstring mGoodBanner;
    std::wstring mBadBanner;
    std::wstring mDisplay;
    size_t mNextDisplay = 0;
    bool mTimerSeen = false;
    bool mDontShowAgain = false;
};

} // namespace
} // namespace qrnv::gui

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using namespace qrnv::gui;
    Options options;
    if (!ParseOptions(options)) {
        return 100;
    }
    auto window = qrnv::CreatePlatformDialogWindow();
    ScriptedHandlers handlers(*window, options);
    const std::int32_t code = window->RunModal(handlers);
    handlers.Log(qrnv::FormatText(L"RunModal %d", code));
    return code;
}

#include "Client/ui/console/ConsoleWindow.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "Client/Log.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

constexpr std::size_t kMaxLineBytes = 4096;
// The end code of a run that nothing could reach any more, as of a window that failed.
constexpr std::int32_t kNoWindowCode = -1;

struct ControlInfo {
    int id;
    bool visible;  // as the template creates it
    bool enabled;
};

// Template 103's controls in their order on the dialog, as they start.
constexpr ControlInfo kTemplate[] = {
    {kMessageText, true, true},        {kProgressBar, false, true},       {kDownloadProgressText, false, true},
    {kServerVersionText, false, true}, {kServerVersion, false, true},     {kRadioInstallNow, false, true},
    {kRadioRemindLater, false, true},  {kRadioDontShowAgain, false, true}, {kCheckDontShowAgain, false, true},
    {kUpdateNowButton, true, false},   {kContinueButton, true, false},    {kCloseButton, true, true},
};

// What a control is called in the input.
struct ActionName {
    const char* verb;
    const char* word;
    int id;
};

constexpr ActionName kActions[] = {
    {"click", "install", kUpdateNowButton},        {"click", "close", kCloseButton},
    {"click", "continue", kContinueButton},        {"check", "dontshowagain", kCheckDontShowAgain},
    {"radio", "installnow", kRadioInstallNow},     {"radio", "remindlater", kRadioRemindLater},
    {"radio", "dontshowagain", kRadioDontShowAgain},
};

const ActionName* ActionFor(int id)
{
    for (const ActionName& a : kActions) {
        if (a.id == id) {
            return &a;
        }
    }
    return nullptr;
}

// A static control shows "&&" as "&" and takes a single "&" as the mark of its access key.
std::wstring AsShown(const std::wstring& text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') {
                out += L'&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Every line of a text after the frame's left edge.
void AppendFramed(std::wstring& out, const std::wstring& text)
{
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(L'\n', start);
        out += L"| " + text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start) + L"\n";
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 1;
    }
}

} // namespace

ConsoleWindow::ConsoleWindow(int inputFd, int outputFd) : mIn(inputFd), mOut(outputFd)
{
    // A reader that went away must not end the program in the middle of a handler.
    std::signal(SIGPIPE, SIG_IGN);
    for (const ControlInfo& c : kTemplate) {
        Control control;
        control.visible = c.visible;
        control.enabled = c.enabled;
        mControls[c.id] = control;
    }
}

// ---- Window operations ------------------------------------------------------------------

void ConsoleWindow::Changed()
{
    mDirty = true;
    ++mChanges;
}

void ConsoleWindow::ShowControl(int id, bool visible)
{
    std::lock_guard<std::mutex> guard(mLock);
    Control& c = mControls[id];
    if (c.visible != visible) {
        c.visible = visible;
        Changed();
    }
}

void ConsoleWindow::EnableControl(int id, bool enabled)
{
    std::lock_guard<std::mutex> guard(mLock);
    Control& c = mControls[id];
    if (c.enabled != enabled) {
        c.enabled = enabled;
        Changed();
    }
}

void ConsoleWindow::SetControlText(int id, const std::wstring& text)
{
    std::lock_guard<std::mutex> guard(mLock);
    Control& c = mControls[id];
    if (c.text != text) {
        c.text = text;
        Changed();
    }
}

void ConsoleWindow::SetWindowTitle(const std::wstring& title)
{
    std::lock_guard<std::mutex> guard(mLock);
    mTitle = title;
    Changed();
}

int ConsoleWindow::GetCheck(int id)
{
    std::lock_guard<std::mutex> guard(mLock);
    return mControls[id].check;
}

void ConsoleWindow::SetCheck(int id, int state)
{
    std::lock_guard<std::mutex> guard(mLock);
    mControls[id].check = state;
    Changed();
}

void ConsoleWindow::SetFocusTo(int id)
{
    std::lock_guard<std::mutex> guard(mLock);
    mFocus = id;
}

void ConsoleWindow::SetProgressPosition(int position)
{
    std::lock_guard<std::mutex> guard(mLock);
    mProgress = std::clamp(position, 0, kProgressRange);
    Changed();
}

int ConsoleWindow::GetProgressUpperLimit()
{
    return kProgressRange;
}

void ConsoleWindow::StartTimer(unsigned id, unsigned intervalMs)
{
    std::lock_guard<std::mutex> guard(mLock);
    mTimers[id] = Timer{intervalMs, Clock::now() + std::chrono::milliseconds(intervalMs)};
}

void ConsoleWindow::StopTimer(unsigned id)
{
    std::lock_guard<std::mutex> guard(mLock);
    mTimers.erase(id);
}

void ConsoleWindow::PostClose()
{
    std::lock_guard<std::mutex> guard(mLock);
    ++mPendingCloses;
}

void ConsoleWindow::SetShowAllowed(bool allowed)
{
    std::lock_guard<std::mutex> guard(mLock);
    mShowAllowed = allowed;
}

bool ConsoleWindow::IsShowAllowed() const
{
    std::lock_guard<std::mutex> guard(mLock);
    return mShowAllowed;
}

void ConsoleWindow::RequestShow()
{
    std::lock_guard<std::mutex> guard(mLock);
    if (mShowAllowed && !mShown) {
        mShown = true;
        Changed();
    }
}

void ConsoleWindow::ShowNormal()
{
    RequestShow();
}

void ConsoleWindow::Hide()
{
    std::lock_guard<std::mutex> guard(mLock);
    mShown = false;
}

void ConsoleWindow::BringToTop() {}

void ConsoleWindow::MoveTo(int x, int y)
{
    {
        std::lock_guard<std::mutex> guard(mLock);
        mX = x;
        mY = y;
    }
    RequestShow();
}

bool ConsoleWindow::GetScreenTopLeft(int& left, int& top)
{
    // The terminal has no screen position of its own: the dialog sits where it was moved
    // to, at 0 0 until then.
    std::lock_guard<std::mutex> guard(mLock);
    left = mX;
    top = mY;
    return true;
}

void ConsoleWindow::EnableSystemClose()
{
    std::lock_guard<std::mutex> guard(mLock);
    mSystemClose = true;
}

void ConsoleWindow::EndModal(std::int32_t code)
{
    std::lock_guard<std::mutex> guard(mLock);
    mEnded = true;
    mCode = code;
}

void ConsoleWindow::CreateHeader(const std::wstring& title, const std::wstring& secondLine)
{
    std::lock_guard<std::mutex> guard(mLock);
    mHeaderCreated = true;
    mHeaderTitle = title;
    mHeaderSecondLine = secondLine;
    Changed();
}

void ConsoleWindow::SetHeaderSecondLine(const std::wstring& secondLine)
{
    std::lock_guard<std::mutex> guard(mLock);
    mHeaderSecondLine = secondLine;
    Changed();
}

void ConsoleWindow::SetBanner(const std::wstring& bmpPath)
{
    std::lock_guard<std::mutex> guard(mLock);
    mBannerSet = true;
    mBannerPath = bmpPath;
    Changed();
}

bool ConsoleWindow::IsShown() const
{
    std::lock_guard<std::mutex> guard(mLock);
    return mShown;
}

// ---- Drawing --------------------------------------------------------------------------

std::wstring ConsoleWindow::Render() const
{
    std::lock_guard<std::mutex> guard(mLock);
    const std::wstring rule(68, L'-');
    std::wstring out = L"+-- " + mTitle + L" " + std::wstring(mTitle.size() < 60 ? 60 - mTitle.size() : 4, L'-') + L"\n";
    if (mHeaderCreated) {
        AppendFramed(out, mHeaderTitle);
        if (!mHeaderSecondLine.empty()) {
            AppendFramed(out, mHeaderSecondLine);
        }
    }
    if (mBannerSet) {
        AppendFramed(out, mBannerPath.empty() ? std::wstring(L"banner: built-in") : L"banner: " + mBannerPath);
    }
    out += L"+" + rule + L"\n";

    for (const ControlInfo& info : kTemplate) {
        const auto it = mControls.find(info.id);
        if (it == mControls.end() || !it->second.visible) {
            continue;
        }
        const Control& c = it->second;
        const std::wstring text = AsShown(c.text);
        const ActionName* action = ActionFor(info.id);
        std::wstring hint;
        if (action) {
            hint = c.enabled ? L"    <- " + Utf8ToWide(action->verb) + L" " + Utf8ToWide(action->word)
                             : std::wstring(L"    (disabled)");
        }
        switch (info.id) {
        case kMessageText:
        case kDownloadProgressText:
            if (!text.empty()) {
                AppendFramed(out, text);
            }
            break;
        case kProgressBar: {
            const int filled = mProgress * 20 / kProgressRange;
            AppendFramed(out, L"[" + std::wstring(filled, L'#') + std::wstring(20 - filled, L'.') + L"] " +
                                  FormatText(L"%d %%", mProgress));
            break;
        }
        case kServerVersionText: {
            const auto version = mControls.find(kServerVersion);
            const bool withVersion = version != mControls.end() && version->second.visible;
            AppendFramed(out, text + (withVersion ? L" " + AsShown(version->second.text) : std::wstring()));
            break;
        }
        case kServerVersion: {
            const auto label = mControls.find(kServerVersionText);
            if (label == mControls.end() || !label->second.visible) {
                AppendFramed(out, text);
            }
            break;
        }
        case kRadioInstallNow:
        case kRadioRemindLater:
        case kRadioDontShowAgain:
            AppendFramed(out, (c.check == 1 ? L"(*) " : L"( ) ") + text + hint);
            break;
        case kCheckDontShowAgain:
            AppendFramed(out, (c.check != 0 ? L"[x] " : L"[ ] ") + text + hint);
            break;
        default: // push buttons
            AppendFramed(out, L"[ " + text + L" ]" + hint);
            break;
        }
    }
    out += L"+" + rule + L"\n";
    return out;
}

void ConsoleWindow::Print(const std::wstring& text)
{
    const std::string bytes = WideToUtf8(text);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(mOut, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // nobody reads the terminal any more; the dialog goes on without it
        }
        done += static_cast<std::size_t>(n);
    }
}

void ConsoleWindow::DrawIfChanged()
{
    bool draw = false;
    {
        std::lock_guard<std::mutex> guard(mLock);
        draw = mShown && mDirty && !mEnded;
        if (draw) {
            mDirty = false;
        }
    }
    if (draw) {
        Print(Render());
    }
}

// ---- Input ----------------------------------------------------------------------------

void ConsoleWindow::ReadInput()
{
    char buffer[1024];
    const ssize_t n = read(mIn, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (n <= 0) {
        mInputOpen = false;
        mInputEndPending = true;
        return;
    }
    mInputBuffer.append(buffer, static_cast<std::size_t>(n));
}

bool ConsoleWindow::TakeLine(std::string& line)
{
    const std::size_t end = mInputBuffer.find('\n');
    if (end != std::string::npos) {
        line = mInputBuffer.substr(0, end);
        mInputBuffer.erase(0, end + 1);
        return true;
    }
    // An overlong line or the last line before the end of the input counts as it stands.
    if ((!mInputOpen || mInputBuffer.size() > kMaxLineBytes) && !mInputBuffer.empty()) {
        line.swap(mInputBuffer);
        mInputBuffer.clear();
        return true;
    }
    return false;
}

bool ConsoleWindow::Clickable(int id, std::wstring& why)
{
    std::lock_guard<std::mutex> guard(mLock);
    const Control& c = mControls[id];
    if (!c.visible) {
        why = L"not shown";
        return false;
    }
    if (!c.enabled) {
        why = L"disabled";
        return false;
    }
    return true;
}

void ConsoleWindow::HandleLine(DialogHandlers& handlers, const std::string& raw)
{
    const std::string line = Lower(Trim(raw));
    if (line.empty()) {
        return;
    }
    if (line == "close") {
        handlers.OnClose();
        return;
    }
    if (line == "yes" || line == "no") {
        Print(L"no question is open: \"" + Utf8ToWide(line) + L"\" ignored\n");
        return;
    }
    const std::size_t blank = line.find(' ');
    const std::string verb = line.substr(0, blank);
    const std::string word = blank == std::string::npos ? std::string() : Trim(line.substr(blank + 1));
    const ActionName* action = nullptr;
    for (const ActionName& a : kActions) {
        if (verb == a.verb && word == a.word) {
            action = &a;
            break;
        }
    }
    if (!action) {
        Print(L"unknown input \"" + Utf8ToWide(Trim(raw)) + L"\" ignored\n");
        return;
    }
    std::wstring why;
    if (!Clickable(action->id, why)) {
        Print(L"\"" + Utf8ToWide(line) + L"\" ignored: " + why + L"\n");
        return;
    }
    if (action->id == kCheckDontShowAgain) {
        // An auto check box flips itself before it reports the click.
        std::lock_guard<std::mutex> guard(mLock);
        Control& c = mControls[kCheckDontShowAgain];
        c.check = c.check == 0 ? 1 : 0;
        Changed();
    } else if (action->id == kRadioInstallNow || action->id == kRadioRemindLater || action->id == kRadioDontShowAgain) {
        // Auto radio buttons: the clicked one is checked, the others of the group cleared.
        std::lock_guard<std::mutex> guard(mLock);
        for (int id : {kRadioInstallNow, kRadioRemindLater, kRadioDontShowAgain}) {
            mControls[id].check = id == action->id ? 1 : 0;
        }
        Changed();
    }
    handlers.OnButton(action->id);
}

// ---- The modal loop ---------------------------------------------------------------------

void ConsoleWindow::DeliverDueTicks(DialogHandlers& handlers)
{
    std::unique_lock<std::mutex> guard(mLock);
    const Clock::time_point now = Clock::now();
    for (auto& [id, timer] : mTimers) {
        if (now >= timer.next) {
            timer.next = now + std::chrono::milliseconds(timer.intervalMs);
            const unsigned tick = id;
            guard.unlock();
            handlers.OnTimer(tick);
            return; // the handler may have changed the timers; look again next round
        }
    }
}

bool ConsoleWindow::WaitOnce(DialogHandlers& handlers, bool readInput)
{
    int timeoutMs = -1;
    {
        std::lock_guard<std::mutex> guard(mLock);
        const Clock::time_point now = Clock::now();
        for (const auto& [id, timer] : mTimers) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(timer.next - now).count();
            const int ms = left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 60000));
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        }
    }
    const bool read = readInput && mInputOpen;
    if (!read && timeoutMs < 0) {
        return false;
    }
    pollfd fd{mIn, POLLIN, 0};
    const int n = poll(read ? &fd : nullptr, read ? 1 : 0, timeoutMs);
    if (n > 0 && (fd.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0) {
        if ((fd.revents & POLLNVAL) != 0) {
            mInputOpen = false;
            mInputEndPending = true;
        } else {
            ReadInput();
        }
    }
    DeliverDueTicks(handlers);
    return true;
}

bool ConsoleWindow::WaitAndDispatch(DialogHandlers& handlers)
{
    if (WaitOnce(handlers, IsShown())) {
        return true;
    }
    // Nothing can reach the dialog any more: no timer, and no input (closed, or the window
    // is hidden). A closed input closes the window once more whenever the dialog has moved
    // on since the last time.
    unsigned long long changes = 0;
    {
        std::lock_guard<std::mutex> guard(mLock);
        changes = mChanges;
    }
    if (!mInputOpen && IsShown() && changes != mChangesAtInputClose) {
        mChangesAtInputClose = changes;
        handlers.OnClose();
        return true;
    }
    LogError(L"Console window: the dialog waits, but nothing can reach it any more");
    Print(L"nothing can reach the dialog any more: ending\n");
    EndModal(kNoWindowCode);
    return false;
}

bool ConsoleWindow::AskYesNo(const std::wstring& caption, const std::wstring& question)
{
    Print(L"\n? " + caption + L"\n? " + question + L"\n? (yes/no)\n");
    bool answer = false;
    while (true) {
        std::string line;
        bool answered = false;
        while (TakeLine(line)) {
            const std::string word = Lower(Trim(line));
            if (word == "yes" || word == "no") {
                answer = word == "yes";
                answered = true;
                break;
            }
            if (!word.empty()) {
                Print(L"? please answer yes or no\n");
            }
        }
        if (answered) {
            break;
        }
        if (!mInputOpen) {
            // The closed input has been the answer; it closes nothing more in this state.
            mInputEndPending = false;
            {
                std::lock_guard<std::mutex> guard(mLock);
                mChangesAtInputClose = mChanges;
            }
            Print(L"? input closed: no\n");
            break;
        }
        // A message box's own loop keeps the dialog's timer going.
        if (!mHandlers || !WaitOnce(*mHandlers, true)) {
            break;
        }
    }
    // The question scrolled the dialog away: draw it again, which is no change of its own.
    std::lock_guard<std::mutex> guard(mLock);
    mDirty = true;
    return answer;
}

std::int32_t ConsoleWindow::RunModal(DialogHandlers& handlers)
{
    mHandlers = &handlers;
    handlers.OnInitDialog();
    RequestShow();
    while (true) {
        {
            std::lock_guard<std::mutex> guard(mLock);
            if (mEnded) {
                break;
            }
        }
        bool close = false;
        {
            std::lock_guard<std::mutex> guard(mLock);
            if (mPendingCloses > 0) {
                --mPendingCloses;
                close = true;
            }
        }
        if (close) {
            handlers.OnClose();
            continue;
        }
        std::string line;
        if (IsShown() && TakeLine(line)) {
            HandleLine(handlers, line);
            continue;
        }
        if (mInputEndPending && IsShown()) {
            mInputEndPending = false;
            {
                std::lock_guard<std::mutex> guard(mLock);
                mChangesAtInputClose = mChanges;
            }
            Print(L"input closed: closing the window\n");
            handlers.OnClose();
            continue;
        }
        DrawIfChanged();
        if (!WaitAndDispatch(handlers)) {
            break;
        }
    }
    mHandlers = nullptr;
    std::lock_guard<std::mutex> guard(mLock);
    return mCode;
}

} // namespace qrnv

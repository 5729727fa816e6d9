#include "ClientFlows.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "Client/ui/DialogWindow.h"
#include "Client/ui/Texts.h"
#include "GuiScript.h"
#include "WindowChecks.h"
#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::gui {
namespace {

// The product every case installs, as GuiScript.h names it; each case has a program name
// of its own, so that its settings and files are its own.
const wchar_t kSettingsKey[] = L"Software\\Quarn\\Quarn Renova\\";
const wchar_t kInstalledLocation[] = L"C:\\Acme Backup";
// Longer than the wait for the window and a question, shorter than the client's time-out.
constexpr int kSlowCheckMs = 5000;

enum class Display { CheckServer, UpgradeOffer, UpdateOffer, UpToDate, Error };

enum class Act {
    Expect,    // wait for the display, then check every control of it
    Shot,      // screenshot
    Click,     // a control, as a user clicks it
    Escape,    // the Escape key, on the focused control and the dialog
    PostClose, // the window's close (title bar, Alt+F4)
    Yes,       // answer the close question
    No,
};

struct Action {
    Act mAct;
    int mArgument = 0;        // the display or the control
    const char* mName = "";   // the control's or the screenshot's name
};

Action Await(Display display) { return {Act::Expect, static_cast<int>(display)}; }
Action Shot(const char* name) { return {Act::Shot, 0, name}; }
Action Click(int id, const char* name) { return {Act::Click, id, name}; }
Action Answer(bool yes, const char* shot = "") { return {yes ? Act::Yes : Act::No, 0, shot}; }

enum class Key { Product, Version };

// A registry value after the run: nullopt for "not there".
struct Value {
    Key mKey;
    const wchar_t* mName;
    std::optional<std::wstring> mText;
};

enum class Worker {
    None,  // nothing started
    Offer, // started once from the update offer, with the dialog's position
    Stub,  // started by the self-update stub that the upgrade offer started
};

struct ClientCase {
    const char* mName; // also the stem of the program name, so letters only
    bool mEveryLanguage; // the screenshot cases run in all three languages, the others in English
    std::string mProduct; // the product's catalog fields, JSON
    bool mWorkerOfEarlierRun; // a quick check's answer names no worker: Install uses the one there
    std::vector<std::pair<const wchar_t*, const wchar_t*>> mVersionValuesBefore;
    std::vector<Action> mActions;
    std::int32_t mExitCode;
    std::vector<int> mUpdateReports;
    std::vector<int> mUpgradeReports;
    std::vector<Value> mValuesAfter;
    Worker mWorker;
    bool mEndsDuringCheck; // the run ends before the check's answer is in
};

const std::string kSlow = R"("fault": {"kind": "slow", "delayMs": )" + std::to_string(kSlowCheckMs) + R"(, "methods": ["QuickCheck"]})";
const std::string kUpdate = R"("newestVersion": "5.2.7")";
const std::string kUpgrade = R"("majorUpgradeVersion": 6)";

std::vector<ClientCase> Cases()
{
    return {
        {"CheckAskedNo", true, R"("newestVersion": "5.1.2", )" + kSlow, false, {},
         {Await(Display::CheckServer), Shot("check"),
          // Escape reaches no handler: the close posted behind it is the first thing the
          // dialog does, and the run goes on to its own end.
          {Act::Escape}, {Act::PostClose}, Answer(false, "check-close-question"),
          Await(Display::UpToDate), Shot("up-to-date"), Click(kCloseButton, "CLOSE_BUTTON")},
         0, {}, {}, {}, Worker::None, false},
        {"CheckAskedYes", false, kSlow, false, {},
         {Await(Display::CheckServer), Click(kCloseButton, "CLOSE_BUTTON"), Answer(true)},
         1, {}, {}, {}, Worker::None, true},
        {"OfferInstall", false, kUpdate, true, {},
         {Await(Display::UpdateOffer), Shot("update-offer"), Click(kUpdateNowButton, "UPDATE_NOW_BUTTON")},
         0, {-1}, {}, {}, Worker::Offer, false},
        // Remind me later with an update on offer goes on to the update offer; its Close
        // (after Yes) clears the version ignored before.
        {"UpgradeThenOfferClosed", true, kUpdate + ", " + kUpgrade, false, {{L"IgnoreProductVersionUpdate", L"0.9"}},
         {Await(Display::UpgradeOffer), Shot("upgrade-offer"), Click(kRadioRemindLater, "radRemindMeLater"),
          Shot("upgrade-offer-chosen"), Click(kContinueButton, "CONTINUE_BUTTON"), Await(Display::UpdateOffer),
          Shot("update-offer"), Click(kCloseButton, "CLOSE_BUTTON"), Answer(true, "update-offer-close-question")},
         2, {}, {3}, {{Key::Version, L"IgnoreProductVersionUpdate", L""}, {Key::Product, L"IgnoreProductMajorVersionUpgrade", std::nullopt}},
         Worker::None, false},
        {"UpgradeRemindLater", false, kUpgrade, false, {},
         {Await(Display::UpgradeOffer), Click(kRadioRemindLater, "radRemindMeLater"),
          Click(kContinueButton, "CONTINUE_BUTTON"), Await(Display::UpToDate), Click(kCloseButton, "CLOSE_BUTTON")},
         4, {}, {3}, {{Key::Product, L"IgnoreProductMajorVersionUpgrade", std::nullopt}}, Worker::None, false},
        {"UpgradeDontShowAgain", false, kUpgrade, false, {},
         {Await(Display::UpgradeOffer), Click(kRadioDontShowAgain, "radDontShowAgain"),
          Click(kContinueButton, "CONTINUE_BUTTON"), Await(Display::UpToDate), Click(kCloseButton, "CLOSE_BUTTON")},
         4, {}, {1}, {{Key::Product, L"IgnoreProductMajorVersionUpgrade", L"6"}}, Worker::None, false},
        // The run ends with 0 once the stub is started; the report of the offer's end (8)
        // goes out on a thread nobody waits for, so it may be cut off by that end.
        {"UpgradeInstallNow", false, kUpgrade, false, {},
         {Await(Display::UpgradeOffer), Click(kRadioInstallNow, "radInstallNow"),
          Click(kContinueButton, "CONTINUE_BUTTON")},
         0, {8}, {2}, {}, Worker::Stub, false},
        {"ServerError", true, R"("errorMessage": "Database down")", false, {},
         {Await(Display::Error), Shot("error"), Click(kCloseButton, "CLOSE_BUTTON")},
         1, {7}, {}, {}, Worker::None, false},
    };
}

std::wstring Widen(const std::string& text) { return Utf8ToWide(text); }

bool ReadBytes(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char buffer[8192];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return true;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::vector<std::string> Lines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string JoinNumbers(const std::vector<int>& numbers)
{
    std::string text = "[";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        text += (i ? ", " : "") + std::to_string(numbers[i]);
    }
    return text + "]";
}

class ClientFlows : public WindowChecks {
public:
    explicit ClientFlows(const ClientFlowOptions& options)
        : WindowChecks(options.mShotFolder, L"client", options.mLanguage), mOptions(options)
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        mTemp = temp;
    }

    int Run()
    {
        for (const ClientCase& c : Cases()) {
            if ((!mOptions.mOnly.empty() && Widen(c.mName) != mOptions.mOnly)
                || (mOptions.mOnly.empty() && !c.mEveryLanguage && mLanguage != 1033)) {
                continue;
            }
            const int before = Failures();
            RunCase(c);
            std::printf("--- client case %s, language %d: %s\n", c.mName, mLanguage, Failures() == before ? "ok" : "FAILED");
            std::fflush(stdout);
        }
        std::printf("--- client flows, language %d: %s (%d checks, %d failed)\n", mLanguage,
                    Failures() == 0 ? "ok" : "FAILED", Checks(), Failures());
        return Failures() == 0 ? 0 : 1;
    }

private:
    // --- what surrounds a run

    std::wstring ProductKey() const { return kSettingsKey + mProduct; }
    std::wstring VersionKey() const { return ProductKey() + L"\\" + kProgramVersion; }

    bool SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text)
    {
        return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, text.c_str(),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)))
            == ERROR_SUCCESS;
    }

    std::optional<std::wstring> GetText(const std::wstring& key, const wchar_t* name)
    {
        wchar_t data[1024] = {};
        DWORD size = sizeof data;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::wstring(data);
    }

    std::wstring ProductTempFolder() const
    {
        // The client's folder name: the program name (letters here) and the major version.
        return mTemp + L"Quarn Software\\Quarn Renova\\" + mProduct + L" 5\\";
    }

    bool PlaceWorkerOfEarlierRun()
    {
        const std::wstring folder = ProductTempFolder();
        for (std::size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1)) {
            CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
        }
        return CopyFileW(mOptions.mWorker.c_str(), (folder + L"QuarnRenovaWorker.exe").c_str(), FALSE) != FALSE;
    }

    bool WriteCatalog(const ClientCase& c)
    {
        const std::string catalog = R"({"default": {"workerUrl": "{base}/files/QuarnRenovaWorker.exe"}, "products": [{"name": ")"
            + Narrow(mProduct) + R"(", )" + c.mProduct + "}]}";
        const std::wstring path = mOptions.mServiceFolder + L"\\catalog.json";
        // Renamed into place: the service reads the catalog for every request.
        return WriteBytes(path + L".new", catalog)
            && MoveFileExW((path + L".new").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    }

    std::vector<std::string> Journal()
    {
        std::string bytes;
        ReadBytes(mOptions.mServiceFolder + L"\\journal.jsonl", bytes);
        std::vector<std::string> lines = Lines(bytes);
        if (lines.size() <= mJournalStart) {
            return {};
        }
        return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(mJournalStart), lines.end());
    }

    // The status numbers of the method's reports since the run began, in their order.
    std::vector<int> Reports(const std::string& method)
    {
        std::vector<int> statuses;
        for (const std::string& line : Journal()) {
            if (!Contains(line, "\"serviceMethod\":\"" + method + "\"")) {
                continue;
            }
            const std::size_t at = line.find("<Status>");
            statuses.push_back(at == std::string::npos ? 99999 : std::atoi(line.c_str() + at + 8));
        }
        return statuses;
    }

    // The client's log files of the product (the stub writes under the same name).
    std::string ClientLogs()
    {
        const std::wstring folder = mTemp + L"Quarn Software\\Quarn Renova\\";
        std::string all;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((folder + L"*_" + mProduct + L".log").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return all;
        }
        do {
            std::string bytes;
            ReadBytes(folder + found.cFileName, bytes);
            all += bytes;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return all;
    }

    bool Start()
    {
        std::wstring line = L"\"" + mOptions.mClient + L"\" -ProgramName \"" + mProduct + L"\" -DisplayName \"" + kProductTitle
            + L"\" -ProgramVersion " + kProgramVersion + L" -InstalledLocation \"" + kInstalledLocation + L"\" -Language "
            + std::to_wstring(mLanguage) + L" -QuickCheck";
        SetEnvironmentVariableW(L"QRNV_WORKER_RECORD", mRecord.c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!Check(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)
                       != FALSE,
                   "the client starts")) {
            return false;
        }
        CloseHandle(info.hThread);
        mProcess = info.hProcess;
        mProcessId = info.dwProcessId;
        mDialog = WaitForWindow(T(kTextProductName) + L" " + kRenovaVersion, nullptr, mProcessId);
        return Check(mDialog != nullptr, "the client's dialog is found by class and title");
    }

    // --- the user's actions

    std::vector<Expect> Controls(Display display)
    {
        switch (display) {
        case Display::CheckServer:
            return CheckServerDisplay();
        case Display::UpgradeOffer:
            return UpgradeOfferDisplay();
        case Display::UpdateOffer:
            // The "don't show again" box shows in -UpdateCheckSilent runs only, and those
            // never show the offer to a user: it comes from a quick check, which ends such
            // a run with 2 (or 0 when ignored) and keeps the window hidden.
            return UpdateOfferDisplay(false);
        case Display::UpToDate:
            return UpToDateDisplay();
        case Display::Error:
            return ErrorDisplay();
        }
        return {};
    }

    void ExpectDisplay(Display display)
    {
        const std::vector<Expect> controls = Controls(display);
        const std::wstring message = *controls.front().mText;
        const DWORD start = GetTickCount();
        while (WindowText(Item(kMessageText)) != message && GetTickCount() - start < kWaitMs + kSlowCheckMs) {
            Sleep(50);
        }
        Check(IsWindowVisible(mDialog) != FALSE, "the dialog is visible");
        ExpectControls(controls);
        // No banner of the product on the service: the built-in one.
        ExpectBandHeight(kBandHeightDefaultBanner);
        ExpectCentred();
        if (display == Display::UpgradeOffer) {
            ExpectFocus(kRadioInstallNow, "radInstallNow");
        }
        RECT window{};
        GetWindowRect(mDialog, &window);
        mLeft = window.left;
        mTop = window.top;
    }

    void Escape()
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(mDialog, nullptr), &info);
        for (HWND target : {info.hwndFocus ? info.hwndFocus : mDialog, mDialog}) {
            PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            PostMessageW(target, WM_CHAR, 27, 0x00010001);
            PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        }
    }

    void Do(const Action& a)
    {
        switch (a.mAct) {
        case Act::Expect:
            ExpectDisplay(static_cast<Display>(a.mArgument));
            break;
        case Act::Shot:
            Screenshot(mCase + "-" + a.mName);
            break;
        case Act::Click:
            Click(a.mArgument, a.mName);
            if (a.mArgument == kRadioInstallNow || a.mArgument == kRadioRemindLater || a.mArgument == kRadioDontShowAgain) {
                CheckEqual(BST_CHECKED, Send(Item(a.mArgument), BM_GETCHECK), std::string(a.mName) + " checked");
                ExpectControls({{kContinueButton, "CONTINUE_BUTTON", true, true, T(54)}});
            }
            break;
        case Act::Escape:
            Escape();
            break;
        case Act::PostClose:
            PostMessageW(mDialog, WM_CLOSE, 0, 0);
            break;
        case Act::Yes:
        case Act::No: {
            const bool yes = a.mAct == Act::Yes;
            const std::string shot = *a.mName ? mCase + "-" + a.mName : std::string();
            if (AnswerBox(yes, T(26), T(27), shot) && !yes) {
                Sleep(200);
                Check(WaitForSingleObject(mProcess, 0) == WAIT_TIMEOUT && IsWindowVisible(mDialog),
                      "No keeps the dialog open");
            }
            break;
        }
        }
    }

    // --- one case

    void RunCase(const ClientCase& c)
    {
        Step(std::string(c.mName) + " set-up");
        const int failuresBefore = Failures();
        mCase = c.mName;
        mProduct = L"GUI " + Widen(c.mName) + L" " + std::to_wstring(mLanguage);
        mRecord = mTemp + L"qrnv-gui-worker-" + Widen(c.mName) + L"-" + std::to_wstring(mLanguage) + L".txt";
        DeleteFileW(mRecord.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, ProductKey().c_str());
        Check(SetText(ProductKey(), L"DebugUrl_v2", mOptions.mServiceBase + L"/Renova/"), "DebugUrl_v2 written");
        for (const auto& [name, text] : c.mVersionValuesBefore) {
            Check(SetText(VersionKey(), name, text), "a value before the run written");
        }
        if (c.mWorkerOfEarlierRun) {
            Check(PlaceWorkerOfEarlierRun(), "the worker of an earlier run is in place");
        }
        Check(WriteCatalog(c), "the catalog is written");
        mJournalStart = 0;
        mJournalStart = Journal().size();

        Step(std::string(c.mName) + " window");
        if (Start()) {
            for (const Action& a : c.mActions) {
                Do(a);
            }
        }

        Step(std::string(c.mName) + " outcome");
        if (mProcess && Check(WaitForSingleObject(mProcess, 20000) == WAIT_OBJECT_0, "the client ends")) {
            DWORD exitCode = 0;
            GetExitCodeProcess(mProcess, &exitCode);
            CheckEqual(c.mExitCode, static_cast<std::int32_t>(exitCode), "exit code");
        }
        ExpectReports(c);
        for (const Value& v : c.mValuesAfter) {
            const std::wstring key = v.mKey == Key::Product ? ProductKey() : VersionKey();
            const auto text = GetText(key, v.mName);
            Check(text == v.mText, Narrow(key + L"\\" + v.mName) + ": expected "
                      + (v.mText ? "\"" + Narrow(*v.mText) + "\"" : std::string("no value")) + ", got "
                      + (text ? "\"" + Narrow(*text) + "\"" : std::string("no value")));
        }
        ExpectWorker(c);
        const std::string logs = ClientLogs();
        // A started worker ends the process from the hand-off, before the dialog's end.
        const std::string end = (c.mWorker == Worker::Offer ? "] exitCodeApplication " : "] ExitCode ")
            + std::to_string(c.mExitCode) + "\r\n";
        Check(Contains(logs, end), "the log has" + end.substr(1, end.size() - 3));
        Check(Contains(logs, "] UpdateResult ") != c.mEndsDuringCheck,
              c.mEndsDuringCheck ? "the run ended before the check's answer was in" : "the check's result was evaluated");
        if (Failures() > failuresBefore && !logs.empty()) {
            for (const std::string& line : Lines(logs)) {
                if (Contains(line, "] Dialog") || Contains(line, "] ExitCode") || Contains(line, "] UpdateResult")
                    || Contains(line, "ERR")) {
                    std::printf("  client: %s\n", line.c_str());
                }
            }
        }
        if (mProcess) {
            if (WaitForSingleObject(mProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(mProcess, 99);
            }
            CloseHandle(mProcess);
            mProcess = nullptr;
        }
        mDialog = nullptr;
    }

    void ExpectReports(const ClientCase& c)
    {
        // Reports leave on threads of their own: give them a moment to arrive.
        const DWORD start = GetTickCount();
        while ((Reports("ReportUpdateStatus").size() < c.mUpdateReports.size()
                || Reports("ReportUpgradeOfferStatus").size() < c.mUpgradeReports.size())
               && GetTickCount() - start < 5000) {
            Sleep(100);
        }
        Sleep(300);
        const std::vector<int> updates = Reports("ReportUpdateStatus");
        const std::vector<int> upgrades = Reports("ReportUpgradeOfferStatus");
        const bool mayBeCutOff = c.mWorker == Worker::Stub && updates.empty();
        Check(updates == c.mUpdateReports || mayBeCutOff,
              "update-status reports: expected " + JoinNumbers(c.mUpdateReports) + ", got " + JoinNumbers(updates));
        Check(upgrades == c.mUpgradeReports,
              "upgrade-offer reports: expected " + JoinNumbers(c.mUpgradeReports) + ", got " + JoinNumbers(upgrades));
    }

    std::vector<std::string> WorkerStarts(DWORD waitMs)
    {
        std::string bytes;
        const DWORD start = GetTickCount();
        while ((!ReadBytes(mRecord, bytes) || bytes.empty()) && GetTickCount() - start < waitMs) {
            Sleep(100);
        }
        return Lines(bytes);
    }

    void ExpectWorker(const ClientCase& c)
    {
        const std::string program = "-ProgramName \"" + Narrow(mProduct) + "\"";
        switch (c.mWorker) {
        case Worker::None:
            CheckEqual(0, static_cast<long long>(WorkerStarts(0).size()), "worker starts");
            break;
        case Worker::Offer: {
            const auto starts = WorkerStarts(5000);
            if (!Check(starts.size() == 1, "the worker is started once")) {
                break;
            }
            const std::string position = Narrow(FormatText(L"-WindowRec \"%d %d\"", mLeft, mTop));
            Check(Contains(starts[0], " " + position), "the worker gets the dialog's position " + position + ": " + starts[0]);
            Check(Contains(starts[0], " QuickCheck ") && Contains(starts[0], program),
                  "the worker gets this run's options: " + starts[0]);
            break;
        }
        case Worker::Stub: {
            // The stub is this program again; it asks in normal mode, fetches the worker the
            // default entry names and starts it with the stub's options.
            const auto starts = WorkerStarts(30000);
            if (!Check(starts.size() == 1, "the stub starts the worker once")) {
                break;
            }
            Check(Contains(starts[0], " -IsStubExe ") && Contains(starts[0], program)
                      && Contains(starts[0], " -ProgramVersion 6.0.0 "),
                  "the worker gets the stub's options: " + starts[0]);
            int normal = 0;
            for (const std::string& line : Journal()) {
                normal += Contains(line, "\"serviceMethod\":\"QuickCheck\"") && Contains(line, "\"mode\":\"normal\"") ? 1 : 0;
            }
            CheckEqual(1, normal, "the stub's check in normal mode");
            // The stub ends with the worker: its window goes.
            const DWORD start = GetTickCount();
            while (WaitForWindow(kProductTitle, nullptr, 0, 0) && GetTickCount() - start < 20000) {
                Sleep(100);
            }
            Check(WaitForWindow(kProductTitle, nullptr, 0, 0) == nullptr, "the stub has ended");
            break;
        }
        }
    }

    ClientFlowOptions mOptions;
    std::wstring mTemp;
    std::string mCase;
    std::wstring mProduct;
    std::wstring mRecord;
    std::size_t mJournalStart = 0;
    int mLeft = 0;
    int mTop = 0;
};

} // namespace

int RunClientFlows(const ClientFlowOptions& options)
{
    ClientFlows flows(options);
    return flows.Run();
}

} // namespace qrnv::gui

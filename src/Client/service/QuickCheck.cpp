#include "Client/service/QuickCheck.h"

#include <tinyxml2.h>

#include "Client/CmdLineInfo.h"
#include "Client/Discovery.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/DownloadCallback.h"
#include "Client/service/QuickCheckRequest.h"
#include "Client/service/StatusReports.h"
#include "Client/service/WebService.h"
#include "Client/service/WorkerFiles.h"
#include "Client/system/DebugMessage.h"
#include "Client/system/FileSystem.h"
#include "Client/system/OsVersion.h"
#include "Client/system/Process.h"
#include "Client/system/ProcessExit.h"
#include "Client/system/ProcessObjects.h"
#include "Client/system/TempFolder.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"
#include "sdk/text/TextEdit.h"

namespace qrnv {
namespace {

constexpr std::uint32_t kExitCodeOtherInstance = 0xFFFFFFFFu;
constexpr std::int64_t kSecondsPerHour = 3600;
// The kernel version from which the worker is started through the shell's "runas".
constexpr std::uint32_t kElevateAboveMajorVersion = 5;

struct Message {
    const wchar_t* english;
    const wchar_t* german;
    const wchar_t* japanese;
};

const Message kUpdateAvailableMessage = {
    L"A more up-to-date program version is available. Would you like to install it now?\nPlease close all programs before starting the installation!",
    L"Eine aktuellere Programmversion ist verf\u00fcgbar. M\u00f6chten Sie diese jetzt installieren?\nBitte schlie\u00dfen Sie alle Programme vor dem Ausf\u00fchren der Installation!",
    L"\u304a\u4f7f\u3044\u306e\u88fd\u54c1\u306e\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u304c\u5229\u7528\u53ef\u80fd\u3067\u3059\u3002\u4eca\u3059\u3050\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3057\u307e\u3059\u304b\uff1f\n\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3059\u308b\u969b\u306f\u3059\u3079\u3066\u306e\u4ed6\u306e \u30bd\u30d5\u30c8\u30a6\u30a7\u30a2\u3092\u7d42\u4e86\u3057\u3066\u304f\u3060\u3055\u3044\u3002"};
const Message kServerUnavailableMessage = {
    L"Server is temporarily unavailable during maintenance.",
    L"Server aufgrund von Wartungsarbeiten zeitweise nicht verf\u00fcgbar.",
    L"\u30b5\u30fc\u30d0\u30fc\u306f\u30e1\u30f3\u30c6\u30ca\u30f3\u30b9\u4e2d\u306b\u3088\u308a\u4e00\u6642\u7684\u306b\u5229\u7528\u3067\u304d\u307e\u305b\u3093\u3002"};
const Message kNoConnectionMessage = {
    L"Connection to server failed. Please check your internet connection.",
    L"Es konnte keine Verbindung zum Server aufgebaut werden. Bitte \u00fcberpr\u00fcfen Sie ihre Internetverbindung.",
    L"\u30b5\u30fc\u30d0\u30fc\u3078\u306e\u63a5\u7d9a\u306b\u5931\u6557\u3057\u307e\u3057\u305f\u3002\u30a4\u30f3\u30bf\u30fc\u30cd\u30c3\u30c8\u63a5\u7d9a\u3092\u78ba\u8a8d\u3057\u3066\u304f\u3060\u3055\u3044\u3002"};
const Message kServerErrorMessage = {
    L"Quarn Renova has encountered an error. Please contact the support.",
    L"Quarn Renova hat einen Fehler festgestellt, bitte kontaktieren Sie unseren Kundenservice.",
    L"\u81ea\u52d5\u66f4\u65b0\u30d7\u30ed\u30b0\u30e9\u30e0\u306b\u30a8\u30e9\u30fc\u304c\u767a\u751f\u3057\u307e\u3057\u305f\u3002\u30b5\u30dd\u30fc\u30c8\u307e\u3067\u304a\u554f\u3044\u5408\u308f\u305b\u304f\u3060\u3055\u3044\u3002"};
const Message kUpToDateMessage = {
    L"You already have the most recent version.",
    L"Es wird keine Aktualisierung ben\u00f6tigt, die aktuellste Version ist bereits installiert.",
    L"\u73fe\u5728\u304a\u4f7f\u3044\u306e\u30d0\u30fc\u30b8\u30e7\u30f3\u306f\u3001\u6700\u65b0\u3067\u3059\u3002"};
const Message kOtherInstanceMessage = {
    L"An other instance of the Quarn Renova is still running.",
    L"Es l\u00e4uft bereits eine Instance des Quarn Renova.",
    L"\u5225\u306e\u81ea\u52d5\u66f4\u65b0\u30d7\u30ed\u30b0\u30e9\u30e0\u304c\u5b9f\u884c\u4e2d\u3067\u3059\u3002"};
// The program's own name in each language, which the window caption replaces.
const Message kProductName = {L"Quarn Renova", L"Quarn Renova", L"\u81ea\u52d5\u66f4\u65b0\u30d7\u30ed\u30b0\u30e9\u30e0"};

const wchar_t* Pick(const Message& m, int language)
{
    return language == kLanguageGerman ? m.german : language == kLanguageJapanese ? m.japanese : m.english;
}

std::wstring WithCaption(const Message& m, int language, const std::wstring& caption)
{
    std::wstring text = Pick(m, language);
    return caption.empty() ? text : ReplaceAll(text, Pick(kProductName, language), caption);
}

// The text of a child element whose first child is text; false when there is none.
bool ChildText(const tinyxml2::XMLElement* root, const char* name, std::wstring& out)
{
    const tinyxml2::XMLElement* e = root->FirstChildElement(name);
    if (!e || !e->FirstChild() || !e->FirstChild()->ToText() || !e->FirstChild()->Value()) {
        return false;
    }
    const std::string bytes = e->FirstChild()->Value();
    if (bytes.empty()) {
        return false;
    }
    out = AnsiToWide(bytes);
    return true;
}

} // namespace

bool CheckResultMessage(UpdateResult result, int language, const std::wstring& windowCaption, std::uint32_t& flag,
                        std::wstring& text)
{
    switch (result) {
    case UPDATE_AVAILABLE:
    case UPDATE_AND_UPGRADE_AVAILABLE:
        flag = 1;
        text = Pick(kUpdateAvailableMessage, language);
        return true;
    case NO_WORKER_AVAILABLE:
    case SERVER_UNAVAILABLE:
        flag = 0;
        text = Pick(kServerUnavailableMessage, language);
        return true;
    case NO_INTERNET_CONNECTION:
        flag = 0;
        text = Pick(kNoConnectionMessage, language);
        return true;
    case SERVER_ERROR:
        flag = 0;
        text = WithCaption(kServerErrorMessage, language, windowCaption);
        return true;
    case UPGRADE_AVAILABLE:
        flag = 0;
        text = Pick(kUpToDateMessage, language);
        return true;
    default:
        return false;
    }
}

std::wstring OtherInstanceMessage(int language, const std::wstring& windowCaption)
{
    return WithCaption(kOtherInstanceMessage, language, windowCaption);
}

bool QuickCheck::IsCheckDue()
{
    const ProgramInfo& info = GetProgramInfo();
    if (info.mIsStubExe == 1) {
        return true;
    }
    const std::int64_t now = CurrentUnixTime();
    if (mCmdLine->mUpdateIntervalInHours == 0) {
        return true;
    }
    std::wstring text;
    if (!ReadLastUpdateCheck(info, text)) {
        ResetLastUpdateCheck(info);
        return true;
    }
    const std::int64_t last = ParseNumber(text);
    const std::int64_t hours = (now - last) / kSecondsPerHour;
    if (hours < 0 || hours < mCmdLine->mUpdateIntervalInHours) {
        LogInfo(L"UpdateCheck not necessary because it is only %d hours since last Update.", static_cast<std::int32_t>(hours));
        return false;
    }
    return true;
}

void QuickCheck::ReadResponse(const std::string& answer)
{
    LogInfo(L"start LoadAndReadResponseXML");
    tinyxml2::XMLDocument doc;
    if (!HasOnlyValidReferences(answer) || doc.Parse(answer.c_str(), answer.size()) != tinyxml2::XML_SUCCESS ||
        !doc.RootElement()) {
        return;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    std::wstring value;
    if (ChildText(root, "ErrorMessage", value)) {
        mHasServerError = 1;
        LogError(L"QuickCheckResponse.xml contains ServerErrorMessage %s", value);
    }
    if (ChildText(root, "RenovaWorkerUrl", value)) {
        mRenovaWorkerUrl = value;
        LogInfo(L"renovaWorkerUrl = %s", value);
    }
    if (ChildText(root, "MaxUpdateableProductVersionExistingOnServer", value)) {
        mMaxUpdateableProductVersion = value;
        LogInfo(L"MaxpdateableProductVersionExistingOnServer = %s", value);
    }
    if (ChildText(root, "MajorUpgradeProductVersion", value)) {
        mMajorUpgradeProductVersion = ParseNumber(value);
        LogInfo(L"MajorUpgradeProductVersion = %s", value);
    }
    if (ChildText(root, "AdViewerUrl", value)) {
        mAdViewerUrl = value;
        LogInfo(L"adViewerDownloadUrl = %s", value);
    }
    if (ChildText(root, "AdCampaignId", value)) {
        mAdCampaignId = value;
        LogInfo(L"AdCampaignId = %s", value);
    }
    LogInfo(L"end LoadAndReadResponseXML");
}

UpdateResult QuickCheck::Decide()
{
    const ProgramInfo& info = GetProgramInfo();
    if (mHasServerError) {
        LogError(L"ResponseString contains ServerErrorMesage! ");
        SetLastUpdateCheck(info, CurrentUnixTime());
        return SERVER_ERROR;
    }
    if (mCmdLine->mOnlyAdViewer) {
        return mAdCampaignId.empty() ? NO_AD_CAMPAIGN : AD_CAMPAIGN_AVAILABLE;
    }
    if (mCmdLine->mQuickCheck) {
        const bool update = !mMaxUpdateableProductVersion.empty();
        const bool upgrade = mMajorUpgradeProductVersion != 0;
        if (update) {
            return upgrade ? UPDATE_AND_UPGRADE_AVAILABLE : UPDATE_AVAILABLE;
        }
        return upgrade ? UPGRADE_AVAILABLE : NO_UPDATE;
    }
    if (!mRenovaWorkerUrl.empty()) {
        LogInfo(L"New RenovaWorker available from %s", mRenovaWorkerUrl);
        return NEW_WORKER_AVAILABLE;
    }
    std::wstring version;
    if (GetWorkerFileVersion(info, version)) {
        LogInfo(L"Use old RenovaWorker.");
        return OLD_WORKER_AVAILABLE;
    }
    LogError(L"No Renovar available.");
    return NO_WORKER_AVAILABLE;
}

void QuickCheck::StoreCheckResult(UpdateResult result)
{
    const ProgramInfo& info = GetProgramInfo();
    std::uint32_t flag = 0;
    std::wstring text;
    if (CheckResultMessage(result, EffectiveLanguage(info.mLanguage), mCmdLine->mWindowCaption, flag, text)) {
        StoreUpdateResult(info, flag, text);
    }
}

UpdateOutcome QuickCheck::Run()
{
    if (!IsCheckDue()) {
        return {CHECK_NOT_DUE, 0};
    }
    const ProgramInfo& info = GetProgramInfo();
    std::int32_t error = 0;
    std::unique_ptr<tinyxml2::XMLDocument> request =
        BuildQuickCheckRequest(info, mCmdLine->mQuickCheck != 0, mCmdLine->mOnlyAdViewer != 0, &error);
    if (!request) {
        LogError(L"Failed building QuickCheck (%d)", error);
        return {REQUEST_NOT_BUILT, 0};
    }
    std::wstring response;
    const std::uint32_t posted = PostXmlToService(kQuickCheckArgument, *request, kQuickCheckMethod, response);
    const std::string answer = UnwrapServiceAnswer(response);
    request.reset();

    UpdateResult result;
    if (posted != 0) {
        LogError(L"result != S_OK");
        if (IsInternetConnected()) {
            SetLastUpdateCheck(info, CurrentUnixTime());
            result = SERVER_UNAVAILABLE;
        } else {
            result = NO_INTERNET_CONNECTION;
        }
    } else {
        LogInfo(L"Server response = %s", response);
        if (answer.empty()) {
            LogError(L"Length of responseString = 0");
            SetLastUpdateCheck(info, CurrentUnixTime());
            result = SERVER_UNAVAILABLE;
        } else {
            ReadResponse(answer);
            result = Decide();
        }
    }
    if (mCmdLine->mWriteCheckResultToReg) {
        StoreCheckResult(result);
    }
    return {result, 0};
}

UpdateOutcome QuickCheck::StartWorker(DownloadCallback&)
{
    const ProgramInfo& info = GetProgramInfo();
    std::wstring folder;
    GetProductTempFolder(folder, info, true);

    if (!mAdViewerUrl.empty()) {
        FetchAdViewerFile(info, mAdViewerUrl);
    }
    if (!mRenovaWorkerUrl.empty() && FetchWorkerFile(info, mRenovaWorkerUrl) != 0) {
        return {WORKER_NOT_STARTED, 0};
    }

    const bool wait = info.mIsStubExe != 0 || mCmdLine->mWriteCheckResultToReg != 0 || mCmdLine->mHideUpdateCheckResult != 0;
    if (wait && mWindow) {
        mWindow->DisallowShowingAndHide();
    }
    if (GetDebugFlag()) {
        ShowDebugMessage(L"QuarnRenovaWorker starting ...");
    }
    OsVersionInfo os;
    GetOsVersion(os);
    int left = 0, top = 0;
    if (mWindow && mWindow->GetScreenTopLeft(left, top)) {
        mCmdLine->mWindowRec = FormatText(L"%d %d", left, top);
    }
    const std::wstring commandLine = mCmdLine->BuildWorkerCommandLine();

    const std::wstring worker = folder + kWorkerFileName;
    MakeOwnerExecutable(worker);
    std::uint32_t exitCode = 0;
    if (StartProcess(worker, commandLine, wait, exitCode, os.mMajorVersion > kElevateAboveMajorVersion) != 0) {
        return {WORKER_NOT_STARTED, 0};
    }
    if (mCmdLine->mWriteCheckResultToReg && exitCode == kExitCodeOtherInstance) {
        StoreUpdateResult(info, 0, OtherInstanceMessage(EffectiveLanguage(info.mLanguage), mCmdLine->mWindowCaption));
    }
    LogInfo(L"exitCodeApplication %d", static_cast<std::int32_t>(exitCode));
    // The report of the accepted update may still be on its way.
    WaitForRunningReports(kReportDrainMs);
    EndProcess(exitCode);
    return {WORKER_NOT_STARTED, 0}; // not reached
}

} // namespace qrnv

#include "Client/service/StatusReports.h"

#include <tinyxml2.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/service/QuickCheckRequest.h"
#include "Client/service/WebService.h"
#include "Client/system/Thread.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

// The report threads that have been started and not yet ended.
struct RunningReports {
    std::mutex lock;
    std::condition_variable ended;
    int count = 0;
};

RunningReports& Running()
{
    static RunningReports running;
    return running;
}

void ReportStarts()
{
    std::lock_guard<std::mutex> guard(Running().lock);
    ++Running().count;
}

void ReportEnds()
{
    std::lock_guard<std::mutex> guard(Running().lock);
    --Running().count;
    Running().ended.notify_all();
}

struct UpdateStatusParameters {
    std::int32_t status;
    std::uint32_t updateId;
};

struct UpgradeOfferParameters {
    std::int32_t choice;
    std::wstring programName;
    std::wstring programVersion;
    std::int32_t majorVersion;
};

unsigned UpdateStatusThread(void* p)
{
    std::unique_ptr<UpdateStatusParameters> params(static_cast<UpdateStatusParameters*>(p));
    const auto doc = BuildUpdateStatusReport(params->status, params->updateId);
    PostStatusXmlToService(kUpdateStatusArgument, *doc, kUpdateStatusMethod);
    ReportEnds();
    return 0;
}

unsigned UpgradeOfferThread(void* p)
{
    std::unique_ptr<UpgradeOfferParameters> params(static_cast<UpgradeOfferParameters*>(p));
    const auto doc =
        BuildUpgradeOfferReport(params->choice, params->programName, params->programVersion, params->majorVersion);
    PostStatusXmlToService(kUpgradeOfferStatusArgument, *doc, kUpgradeOfferStatusMethod);
    ReportEnds();
    return 0;
}

// A number element that stays empty for 0, with its log line either way.
void AppendNumberUnlessZero(tinyxml2::XMLElement* root, const char* name, const wchar_t* label, std::int32_t value)
{
    if (value != 0) {
        const std::wstring text = FormatText(L"%d", value);
        AppendTextElement(root, name, text);
        LogInfo(L"%s: %s", label, text);
    } else {
        AppendEmptyElement(root, name);
        LogInfo(L"%s == 0", label);
    }
}

tinyxml2::XMLElement* StartReport(tinyxml2::XMLDocument& doc, const char* rootName, const wchar_t* buildLine)
{
    LogInfo(L"CreateUpdateStatusXml start");
    LogInfo(buildLine);
    tinyxml2::XMLElement* root = doc.NewElement(rootName);
    doc.InsertEndChild(root);
    AppendVersionElement(root);
    AppendMacElement(root);
    AppendMachineGuidElement(root);
    return root;
}

} // namespace

bool WaitForRunningReports(std::uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> guard(Running().lock);
    return Running().ended.wait_for(guard, std::chrono::milliseconds(timeoutMs), [] { return Running().count == 0; });
}

std::unique_ptr<tinyxml2::XMLDocument> BuildUpdateStatusReport(std::int32_t status, std::uint32_t updateId)
{
    auto doc = std::make_unique<tinyxml2::XMLDocument>();
    tinyxml2::XMLElement* root = StartReport(*doc, "UpdateStatus", L"start to build UpdateStatus.xml");
    const bool stub = GetProgramInfo().mIsStubExe != 0;
    AppendTextElement(root, "IsStub", stub ? L"1" : L"0");
    LogInfo(stub ? L"IsStub = true" : L"IsStub = false");
    const std::wstring statusText = FormatText(L"%d", status);
    AppendTextElement(root, "Status", statusText);
    LogInfo(L"Status: %s", statusText);
    AppendNumberUnlessZero(root, "UpdateId", L"UpdateId", static_cast<std::int32_t>(updateId));
    LogInfo(L"CreateUpdateStatusXml end");
    return doc;
}

std::unique_ptr<tinyxml2::XMLDocument> BuildUpgradeOfferReport(std::int32_t choice, const std::wstring& programName,
                                                               const std::wstring& programVersion,
                                                               std::int32_t majorVersion)
{
    auto doc = std::make_unique<tinyxml2::XMLDocument>();
    tinyxml2::XMLElement* root = StartReport(*doc, "UpgradeOfferStatus", L"start to build UpgradeOfferStatus.xml");
    AppendTextElement(root, "ProgramName", programName);
    LogInfo(L"ProgramName: %s", programName);
    AppendTextElement(root, "ProgramVersionNumber", programVersion);
    LogInfo(L"ProgramVersionNumber: %s", programVersion);
    AppendNumberUnlessZero(root, "MajorVersion", L"MajorVersion", majorVersion);
    const std::wstring choiceText = FormatText(L"%d", choice);
    AppendTextElement(root, "Status", choiceText);
    LogInfo(L"Status: %s", choiceText);
    LogInfo(L"CreateUpdateStatusXml end");
    return doc;
}

void StartUpdateStatusReport(std::int32_t status, std::uint32_t updateId)
{
    auto* params = new UpdateStatusParameters{status, updateId};
    ReportStarts();
    ThreadHandle thread;
    if (StartThread(thread, UpdateStatusThread, params)) {
        CloseThread(thread);
    } else {
        ReportEnds();
        delete params;
    }
}

void StartUpgradeOfferReport(std::int32_t choice, const std::wstring& programName, const std::wstring& programVersion,
                             std::int32_t majorVersion)
{
    auto* params = new UpgradeOfferParameters{choice, programName, programVersion, majorVersion};
    ReportStarts();
    ThreadHandle thread;
    if (StartThread(thread, UpgradeOfferThread, params)) {
        CloseThread(thread);
    } else {
        ReportEnds();
        delete params;
    }
}

} // namespace qrnv

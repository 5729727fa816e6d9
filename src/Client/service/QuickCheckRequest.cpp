#include "Client/service/QuickCheckRequest.h"

#include <tinyxml2.h>

#include "Client/Application.h"
#include "Client/Log.h"
#include "Client/Settings.h"
#include "Client/service/WorkerFiles.h"
#include "Client/system/AsciiName.h"
#include "Client/system/Clock.h"
#include "Client/system/MacAddress.h"
#include "Client/system/OsVersion.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

constexpr std::uint8_t kProductTypeDomainController = 2;

std::string RequestBytes(const std::wstring& text)
{
    std::string bytes;
    ToMultiByteText(text, bytes);
    if (bytes.size() > kRequestTextBuffer - 1) {
        bytes.resize(kRequestTextBuffer - 1);
    }
    return bytes;
}

} // namespace

tinyxml2::XMLElement* AppendEmptyElement(tinyxml2::XMLElement* parent, const char* name)
{
    tinyxml2::XMLElement* element = parent->GetDocument()->NewElement(name);
    parent->InsertEndChild(element);
    return element;
}

tinyxml2::XMLElement* AppendTextElement(tinyxml2::XMLElement* parent, const char* name, const std::wstring& text)
{
    tinyxml2::XMLElement* element = AppendEmptyElement(parent, name);
    element->SetText(RequestBytes(text).c_str());
    return element;
}

void AppendVersionElement(tinyxml2::XMLElement* root)
{
    AppendTextElement(root, "Version", kRenovaVersion);
    LogInfo(L"Version: %s", kRenovaVersion);
}

void AppendMacElement(tinyxml2::XMLElement* root)
{
    tinyxml2::XMLElement* mac = AppendEmptyElement(root, "MAC");
    std::wstring address;
    if (GetMacAddress(address)) {
        mac->SetText(RequestBytes(address).c_str());
        LogInfo(L"Mac: %s", address);
    } else {
        LogError(L"Mac konnte nicht ermittelt werden.");
    }
}

void AppendMachineGuidElement(tinyxml2::XMLElement* root)
{
    tinyxml2::XMLElement* element = AppendEmptyElement(root, "MachineGuid");
    std::wstring guid;
    if (GetMachineGuid(guid)) {
        element->SetText(RequestBytes(guid).c_str());
        LogInfo(L"MachineGuid: %s", guid);
    } else {
        LogInfo(L"MachineGuid not found");
    }
}

std::wstring FormatRequestTimeStamp()
{
    return FormatRequestTimeStamp(CurrentUtcTime());
}

std::wstring FormatRequestTimeStamp(const SystemTime& t)
{
    return FormatText(L"%d.%2d.%2d %02d:%02d:%02d:%02d", t.mYear, t.mMonth, t.mDay, t.mHour, t.mMinute, t.mSecond,
                      t.mMilliseconds);
}

std::unique_ptr<tinyxml2::XMLDocument> BuildQuickCheckRequest(const ProgramInfo& info, bool quickCheckMode,
                                                               bool onlyAdViewerMode, std::int32_t* error)
{
    LogInfo(L"start to build QuickCheck.xml");
    if (error) {
        *error = 0;
    }
    auto doc = std::make_unique<tinyxml2::XMLDocument>();
    tinyxml2::XMLElement* root = doc->NewElement("QuickCheck");
    if (!root) {
        if (error) {
            *error = static_cast<std::int32_t>(tinyxml2::XML_ERROR_PARSING);
        }
        return nullptr;
    }
    doc->InsertEndChild(root);

    AppendVersionElement(root);
    AppendMacElement(root);

    tinyxml2::XMLElement* worker = AppendEmptyElement(root, "RenovaWorkerVersion");
    std::wstring workerVersion;
    if (GetWorkerFileVersion(info, workerVersion)) {
        worker->SetText(RequestBytes(workerVersion).c_str());
        LogInfo(L"RenovaWorkerVersion: %s", workerVersion);
    } else {
        LogInfo(L"RenovaWorker not found");
    }

    // One kernel query for both rows; a failed query leaves its fields zero.
    OsVersionInfo os;
    GetOsVersion(os);
    AppendTextElement(root, "OsVersion", FormatText(L"%d.%d", os.mMajorVersion, os.mMinorVersion));
    LogInfo(L"Os Verison: %d.%d", os.mMajorVersion, os.mMinorVersion);
    if (os.mProductType == kProductTypeWorkstation) {
        AppendTextElement(root, "OsProductType", L"WorkStation");
        LogInfo(L"Os Type: WorkStation");
    } else if (os.mProductType == kProductTypeDomainController) {
        AppendTextElement(root, "OsProductType", L"DomainController");
        LogInfo(L"Os Type: DomainController");
    } else {
        AppendTextElement(root, "OsProductType", L"Server");
        LogInfo(L"Os Type: Server");
    }
    AppendTextElement(root, "OsLanguage", FormatText(L"%d", GetSystemDefaultLanguage()));
    LogInfo(L"Os Language: %d", GetSystemDefaultLanguage());
    if (RunsAsWow64()) {
        AppendTextElement(root, "OsArchitecture", L"64");
        LogInfo(L"Os Architexture: x64");
    } else {
        AppendTextElement(root, "OsArchitecture", L"32");
        LogInfo(L"Os Architexture: x32");
    }
    AppendMachineGuidElement(root);
    const std::wstring stamp = FormatRequestTimeStamp();
    AppendTextElement(root, "CurrentUTCTimeStamp", stamp);
    LogInfo(L"CurrentUTCTimeStamp: %s", stamp);

    if (quickCheckMode || onlyAdViewerMode) {
        AppendTextElement(root, "ProgramName", info.mProgramName);
        LogInfo(L"ProgramName: %s", info.mProgramName);
        AppendTextElement(root, "ProgramVersionNumber", info.mProgramVersion);
        LogInfo(L"ProgramVersionNumber: %s", info.mProgramVersion);
        AppendTextElement(root, "ProgramLanguage", FormatText(L"%d", info.mLanguage));
        LogInfo(L"ProgramLanguage: %d", info.mLanguage);
        AppendTextElement(root, "ProgramInstallDate", info.mInstallDate);
        LogInfo(L"ProgramInstallDate: %s", info.mInstallDate);
        AppendTextElement(root, "AffiliateId", info.mAffiliateId);
        LogInfo(L"AffiliateId: %s", info.mAffiliateId);
        if (onlyAdViewerMode) {
            AppendTextElement(root, "OnlyAdViewer", L"True");
            LogInfo(L"OnlyAdViewer = true");
        }
    }

    tinyxml2::XMLElement* viewer = AppendEmptyElement(root, "AdViewerVersion");
    std::wstring viewerVersion;
    if (GetAdViewerFileVersion(info, viewerVersion)) {
        viewer->SetText(RequestBytes(viewerVersion).c_str());
        LogInfo(L"AdViewerVersion: %s", viewerVersion);
    } else {
        LogInfo(L"AdViewerVersion not found");
    }
    LogInfo(L"QuickCheck.xml fertig");
    return doc;
}

} // namespace qrnv

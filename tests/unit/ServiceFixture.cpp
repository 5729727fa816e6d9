#include "ServiceFixture.h"

#include <tinyxml2.h>

#include <filesystem>
#include <regex>

#include "Client/ProgramInfoAccess.h"
#include "Client/service/StatusReports.h"
#include "Client/system/Registry.h"
#include "Client/system/TempFolder.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::test {
namespace {
const std::wstring kCryptographyKey = L"SOFTWARE\\Microsoft\\Cryptography";
}

ServiceFixture::ServiceFixture()
{
    mInfo.mProgramName = mSandbox.UniqueProductName(L"Quarn Tool");
    mInfo.mDisplayName = mInfo.mProgramName;
    mInfo.mProgramVersion = L"1.2.3";
    mInfo.mInstallDate = L"20240307";
    mInfo.mInstalledLocation = mTemp.Path();
    mInfo.mLanguage = 1033;
    mProductKey = kSettingsKey + L"\\" + mInfo.mProgramName;
    mVersionKey = mProductKey + L"\\" + mInfo.mProgramVersion;
    mSandbox.KeepValue(RegHive::LocalMachine, kCryptographyKey, L"MachineGuid");
    mSandbox.KeepValue(RegHive::CurrentUser, kSettingsKey, L"Debug");
    mSandbox.KeepValue(RegHive::CurrentUser, kSettingsKey, L"DebugUrl_v2");
    PutText(RegHive::LocalMachine, kCryptographyKey, L"MachineGuid", kTestMachineGuid);
    Publish();
}

ServiceFixture::~ServiceFixture()
{
    // A report thread nobody waits for reads the published record: it ends before the next
    // test replaces the record.
    EXPECT_TRUE(WaitForRunningReports(30000)) << "a status report is still running";
    ResetProgramInfoForTests();
}

void ServiceFixture::Publish()
{
    ResetProgramInfoForTests();
    ProgramInfo record = mInfo;
    ASSERT_EQ(1, CompleteProgramInfo(record));
}

std::wstring ServiceFixture::ProductFolder()
{
    std::wstring folder;
    EXPECT_TRUE(GetProductTempFolder(folder, mInfo, true));
    return folder;
}

void ServiceFixture::PlaceProgram(const std::wstring& program, const std::wstring& fileName)
{
    std::error_code error;
    std::filesystem::copy_file(ToFsPath(HelperProgramPath(program)), ToFsPath(ProductFolder() + fileName),
                               std::filesystem::copy_options::overwrite_existing, error);
    ASSERT_FALSE(error) << error.message();
}

void ServiceFixture::SetDebugUrl(const std::wstring& url)
{
    PutText(RegHive::CurrentUser, mProductKey, L"DebugUrl_v2", url);
}

std::optional<std::wstring> ServiceFixture::Text(RegHive hive, const std::wstring& path, const std::wstring& name)
{
    RegKey key;
    std::wstring text;
    if (key.Open(hive, path, RegView::Registry64, false) && key.ReadText(name, text, 4096)) {
        return text;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ServiceFixture::Number(RegHive hive, const std::wstring& path, const std::wstring& name)
{
    RegKey key;
    std::uint32_t number = 0;
    if (key.Open(hive, path, RegView::Registry64, false) && key.ReadNumber(name, number)) {
        return number;
    }
    return std::nullopt;
}

void ServiceFixture::PutText(RegHive hive, const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    RegKey key;
    ASSERT_TRUE(key.Create(hive, path, RegView::Registry64));
    ASSERT_TRUE(key.WriteText(name, value));
}

std::vector<std::string> ChildNames(const tinyxml2::XMLDocument& doc)
{
    std::vector<std::string> names;
    if (const tinyxml2::XMLElement* root = doc.RootElement()) {
        for (const auto* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
            names.emplace_back(e->Name());
        }
    }
    return names;
}

std::optional<std::string> ChildText(const tinyxml2::XMLDocument& doc, const char* name)
{
    const tinyxml2::XMLElement* root = doc.RootElement();
    const tinyxml2::XMLElement* e = root ? root->FirstChildElement(name) : nullptr;
    if (!e) {
        return std::nullopt;
    }
    return std::string(e->GetText() ? e->GetText() : "");
}

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool IsMacLine(const std::wstring& line)
{
    static const std::wregex pattern(L"    (<MAC>[0-9A-F]{1,2}(:[0-9A-F]{1,2}){5}</MAC>|<MAC/>)");
    return std::regex_match(line, pattern);
}

} // namespace qrnv::test

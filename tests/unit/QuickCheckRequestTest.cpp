#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <regex>

#include "Client/service/QuickCheckRequest.h"
#include "Client/service/WebService.h"
#include "Client/system/Clock.h"
#include "ServiceFixture.h"

namespace qrnv {
namespace {

using test::ChildNames;
using test::ChildText;

const std::vector<std::string> kMachineElements = {"Version",        "MAC",         "RenovaWorkerVersion",
                                                   "OsVersion",      "OsProductType", "OsLanguage",
                                                   "OsArchitecture", "MachineGuid", "CurrentUTCTimeStamp"};
const std::vector<std::string> kProgramElements = {"ProgramName", "ProgramVersionNumber", "ProgramLanguage",
                                                   "ProgramInstallDate", "AffiliateId"};

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

class QuickCheckRequestTest : public test::ServiceFixture {
protected:
    std::unique_ptr<tinyxml2::XMLDocument> Build(bool quickCheck, bool onlyAdViewer)
    {
        std::int32_t error = 77;
        auto doc = BuildQuickCheckRequest(mInfo, quickCheck, onlyAdViewer, &error);
        EXPECT_TRUE(doc);
        EXPECT_EQ(0, error);
        return doc;
    }
};

TEST(RequestTimeStamp, PadsMonthAndDayWithBlanksAndMillisecondsToTwoDigits)
{
    const struct {
        SystemTime time;
        std::wstring text;
    } cases[] = {
        {{2026, 1, 5, 9, 3, 7, 42}, L"2026. 1. 5 09:03:07:42"},
        {{2025, 12, 31, 23, 59, 9, 5}, L"2025.12.31 23:59:09:05"},
        {{2024, 2, 29, 0, 0, 0, 0}, L"2024. 2.29 00:00:00:00"},
        {{2024, 10, 1, 12, 30, 45, 999}, L"2024.10. 1 12:30:45:999"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, FormatRequestTimeStamp(c.time));
    }
}

TEST_F(QuickCheckRequestTest, ElementsOfEachMode)
{
    const struct {
        bool quickCheck, onlyAdViewer;
        std::vector<std::string> names;
    } cases[] = {
        {false, false, Concat({kMachineElements, {"AdViewerVersion"}})},
        {true, false, Concat({kMachineElements, kProgramElements, {"AdViewerVersion"}})},
        {false, true, Concat({kMachineElements, kProgramElements, {"OnlyAdViewer", "AdViewerVersion"}})},
        {true, true, Concat({kMachineElements, kProgramElements, {"OnlyAdViewer", "AdViewerVersion"}})},
    };
    for (const auto& c : cases) {
        const auto doc = Build(c.quickCheck, c.onlyAdViewer);
        ASSERT_TRUE(doc);
        EXPECT_STREQ("QuickCheck", doc->RootElement()->Name());
        EXPECT_EQ(c.names, ChildNames(*doc)) << c.quickCheck << c.onlyAdViewer;
        if (c.onlyAdViewer) {
            EXPECT_EQ("True", ChildText(*doc, "OnlyAdViewer"));
        }
    }
}

TEST_F(QuickCheckRequestTest, PrintedRequestOfAQuickCheckOnAFirstRun)
{
    mInfo.mAffiliateId.clear();
    const auto doc = Build(true, false);
    ASSERT_TRUE(doc);
    const std::vector<std::wstring> lines = test::SplitLines(PrintServiceDocument(*doc));
    // Machine facts vary by machine; their form does not.
    const std::wregex timeStamp(L"    <CurrentUTCTimeStamp>\\d{4}\\.[ 1]\\d\\.[ 123]\\d [012]\\d:[0-5]\\d:[0-5]\\d:\\d{2,3}</CurrentUTCTimeStamp>");
    const std::wstring expected[] = {
        L"<QuickCheck>",
        L"    <Version>10.0.29</Version>",
        L"MAC",
        L"    <RenovaWorkerVersion/>",
        L"(OsVersion)",
        L"(OsProductType)",
        L"(OsLanguage)",
        L"(OsArchitecture)",
        L"    <MachineGuid>" + test::kTestMachineGuid + L"</MachineGuid>",
        L"(CurrentUTCTimeStamp)",
        L"    <ProgramName>" + mInfo.mProgramName + L"</ProgramName>",
        L"    <ProgramVersionNumber>1.2.3</ProgramVersionNumber>",
        L"    <ProgramLanguage>1033</ProgramLanguage>",
        L"    <ProgramInstallDate>20240307</ProgramInstallDate>",
        L"    <AffiliateId></AffiliateId>",
        L"    <AdViewerVersion/>",
        L"</QuickCheck>",
    };
    ASSERT_EQ(std::size(expected), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::wstring& e = expected[i];
        if (e == L"MAC") {
            EXPECT_TRUE(test::IsMacLine(lines[i])) << i;
        } else if (e == L"(OsVersion)") {
            EXPECT_TRUE(std::regex_match(lines[i], std::wregex(L"    <OsVersion>\\d+\\.\\d+</OsVersion>"))) << i;
        } else if (e == L"(OsProductType)") {
            EXPECT_TRUE(std::regex_match(
                lines[i], std::wregex(L"    <OsProductType>(WorkStation|DomainController|Server)</OsProductType>")));
        } else if (e == L"(OsLanguage)") {
            EXPECT_TRUE(std::regex_match(lines[i], std::wregex(L"    <OsLanguage>\\d+</OsLanguage>")));
        } else if (e == L"(OsArchitecture)") {
            EXPECT_TRUE(std::regex_match(lines[i], std::wregex(L"    <OsArchitecture>(32|64)</OsArchitecture>")));
        } else if (e == L"(CurrentUTCTimeStamp)") {
            EXPECT_TRUE(std::regex_match(lines[i], timeStamp)) << lines[i];
        } else {
            EXPECT_EQ(e, lines[i]) << i;
        }
    }
}

TEST_F(QuickCheckRequestTest, TextsBecomeSingleBytesOrAreReducedAsAWhole)
{
    const struct {
        std::wstring value;
        std::string bytes;
    } cases[] = {
        {L"Werkzeugk\u00e4sten", "Werkzeugk\xe4sten"},
        {L"Tool \u65e5\u672c", "Tool ~102H~103W"},
        {L"Gr\u00f6\u00dfe \u65e5", "Gre ~102H"}, // one character above U+00FF drops the Latin-1 letters
        {L"a&b<c>\"d'", "a&b<c>\"d'"},
        {std::wstring(300, L'x'), std::string(260, 'x')},
        {std::wstring(260, L'y'), std::string(260, 'y')},
    };
    for (const auto& c : cases) {
        mInfo.mAffiliateId = c.value;
        const auto doc = Build(true, false);
        ASSERT_TRUE(doc);
        EXPECT_EQ(c.bytes, ChildText(*doc, "AffiliateId"));
    }
}

TEST_F(QuickCheckRequestTest, SpecialCharactersArePrintedAsEntities)
{
    mInfo.mAffiliateId = L"a&b<c>\"d'";
    const auto doc = Build(true, false);
    ASSERT_TRUE(doc);
    const std::wstring text = PrintServiceDocument(*doc);
    EXPECT_NE(std::wstring::npos, text.find(L"\n    <AffiliateId>a&amp;b&lt;c&gt;\"d'</AffiliateId>\n")) << text;
}

TEST_F(QuickCheckRequestTest, VersionsOfTheProgramsLeftInTheTemporaryFolder)
{
    PlaceProgram(L"qrnv_test_child", L"QuarnRenovaWorker.exe");
    PlaceProgram(L"qrnv_test_child", L"QuarnAdViewer.exe");
    const test::LogCapture log;
    const auto doc = Build(false, false);
    ASSERT_TRUE(doc);
    EXPECT_EQ("1.2.3.4 / 1.2.3.4", ChildText(*doc, "RenovaWorkerVersion"));
    EXPECT_EQ("1.2.3.4 / 1.2.3.4", ChildText(*doc, "AdViewerVersion"));
    EXPECT_TRUE(log.Contains(L"INF", L"RenovaWorkerVersion: 1.2.3.4 / 1.2.3.4"));
    EXPECT_TRUE(log.Contains(L"INF", L"AdViewerVersion: 1.2.3.4 / 1.2.3.4"));
}

TEST_F(QuickCheckRequestTest, LogLinesOfAnOnlyAdViewerRequestWithoutLocalPrograms)
{
    const test::LogCapture log;
    const auto doc = Build(false, true);
    ASSERT_TRUE(doc);
    const auto messages = log.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(L"start to build QuickCheck.xml", messages.front());
    EXPECT_EQ(L"QuickCheck.xml fertig", messages.back());
    const std::vector<std::wstring> lines = {
        L"Version: 10.0.29",           L"RenovaWorker not found",       L"MachineGuid: " + test::kTestMachineGuid,
        L"ProgramName: " + mInfo.mProgramName, L"ProgramVersionNumber: 1.2.3", L"ProgramLanguage: 1033",
        L"ProgramInstallDate: 20240307", L"AffiliateId: ",             L"OnlyAdViewer = true",
        L"AdViewerVersion not found"};
    for (const std::wstring& line : lines) {
        EXPECT_TRUE(log.Contains(L"INF", line)) << line;
    }
    const std::string stamp = ChildText(*doc, "CurrentUTCTimeStamp").value_or("");
    EXPECT_TRUE(log.Contains(L"INF", L"CurrentUTCTimeStamp: " + std::wstring(stamp.begin(), stamp.end())));
}

} // namespace
} // namespace qrnv

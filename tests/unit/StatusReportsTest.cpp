#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "Client/service/StatusReports.h"
#include "Client/service/WebService.h"
#include "ServiceFixture.h"
#include "support/LoopbackServer.h"

namespace qrnv {
namespace {

class StatusReportsTest : public test::ServiceFixture {
protected:
    // The printed report, its MAC line checked for its form and then left out.
    std::vector<std::wstring> Printed(const tinyxml2::XMLDocument& doc)
    {
        std::vector<std::wstring> lines = test::SplitLines(PrintServiceDocument(doc));
        EXPECT_GE(lines.size(), 3u);
        if (lines.size() >= 3) {
            EXPECT_TRUE(test::IsMacLine(lines[2])) << lines[2];
            lines.erase(lines.begin() + 2);
        }
        return lines;
    }
};

TEST_F(StatusReportsTest, UpdateStatusWithANegativeStatusAndNoUpdateId)
{
    const test::LogCapture log;
    const auto doc = BuildUpdateStatusReport(kStatusUpdateAccepted, 0);
    ASSERT_TRUE(doc);
    const std::vector<std::wstring> expected = {
        L"<UpdateStatus>",
        L"    <Version>10.0.29</Version>",
        L"    <MachineGuid>" + test::kTestMachineGuid + L"</MachineGuid>",
        L"    <IsStub>0</IsStub>",
        L"    <Status>-1</Status>",
        L"    <UpdateId/>",
        L"</UpdateStatus>",
    };
    EXPECT_EQ(expected, Printed(*doc));
    std::vector<std::wstring> messages = log.Messages();
    ASSERT_EQ(9u, messages.size());
    messages.erase(messages.begin() + 3); // the MAC line
    const std::vector<std::wstring> lines = {
        L"CreateUpdateStatusXml start", L"start to build UpdateStatus.xml", L"Version: 10.0.29",
        L"MachineGuid: " + test::kTestMachineGuid, L"IsStub = false", L"Status: -1", L"UpdateId == 0",
        L"CreateUpdateStatusXml end"};
    EXPECT_EQ(lines, messages);
}

TEST_F(StatusReportsTest, UpdateStatusOfAStubWithAnUpdateId)
{
    mInfo.mIsStubExe = 1;
    Publish();
    const test::LogCapture log;
    const auto doc = BuildUpdateStatusReport(kStatusServerError, 4711);
    ASSERT_TRUE(doc);
    EXPECT_EQ("1", test::ChildText(*doc, "IsStub"));
    EXPECT_EQ("7", test::ChildText(*doc, "Status"));
    EXPECT_EQ("4711", test::ChildText(*doc, "UpdateId"));
    EXPECT_TRUE(log.Contains(L"INF", L"IsStub = true"));
    EXPECT_TRUE(log.Contains(L"INF", L"UpdateId: 4711"));
}

TEST_F(StatusReportsTest, UpgradeOfferWithoutAMajorVersion)
{
    const test::LogCapture log;
    const auto doc = BuildUpgradeOfferReport(kChoiceRemindLater, L"Acme Backup", L"5.2.0", 0);
    ASSERT_TRUE(doc);
    const std::vector<std::wstring> expected = {
        L"<UpgradeOfferStatus>",
        L"    <Version>10.0.29</Version>",
        L"    <MachineGuid>" + test::kTestMachineGuid + L"</MachineGuid>",
        L"    <ProgramName>Acme Backup</ProgramName>",
        L"    <ProgramVersionNumber>5.2.0</ProgramVersionNumber>",
        L"    <MajorVersion/>",
        L"    <Status>3</Status>",
        L"</UpgradeOfferStatus>",
    };
    EXPECT_EQ(expected, Printed(*doc));
    const auto messages = log.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(L"CreateUpdateStatusXml start", messages.front());
    EXPECT_EQ(L"CreateUpdateStatusXml end", messages.back());
    EXPECT_TRUE(log.Contains(L"INF", L"start to build UpgradeOfferStatus.xml"));
    EXPECT_TRUE(log.Contains(L"INF", L"MajorVersion == 0"));
    EXPECT_TRUE(log.Contains(L"INF", L"Status: 3"));
}

TEST_F(StatusReportsTest, UpgradeOfferTextsAreMadeLikeTheRequestTexts)
{
    const auto doc = BuildUpgradeOfferReport(kChoiceInstallNow, L"Tool \u65e5\u672c", L"5.\u00e4", 6);
    ASSERT_TRUE(doc);
    EXPECT_EQ("Tool ~102H~103W", test::ChildText(*doc, "ProgramName"));
    EXPECT_EQ("5.\xe4", test::ChildText(*doc, "ProgramVersionNumber"));
    EXPECT_EQ("6", test::ChildText(*doc, "MajorVersion"));
    EXPECT_EQ("2", test::ChildText(*doc, "Status"));
}

TEST_F(StatusReportsTest, AReportIsPostedOnAThreadOfItsOwn)
{
    std::mutex lock;
    std::string path, body;
    test::LoopbackServer server;
    server.Server().Post(R"(/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(lock);
        path = req.path;
        body = req.body;
        res.set_content("<string xmlns=\"http://tempuri.org/\" />", "text/xml");
    });
    ASSERT_NE(0, server.Start());
    SetDebugUrl(server.BaseUrl() + L"Renova/");

    StartUpgradeOfferReport(kChoiceDontShowAgain, mInfo.mProgramName, mInfo.mProgramVersion, 6);
    // Nobody waits for the report; the test does, up to a limit that only a broken report reaches.
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!body.empty()) {
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ("/Renova/QRNVWebservice.asmx/ReportUpgradeOfferStatus", path);
    EXPECT_EQ(0u, body.find("UpgradeOfferStatusXML=%253cUpgradeOfferStatus%253e%250a")) << body;
    EXPECT_NE(std::string::npos, body.find("%253cMajorVersion%253e6%253c%252fMajorVersion%253e")) << body;
}

} // namespace
} // namespace qrnv

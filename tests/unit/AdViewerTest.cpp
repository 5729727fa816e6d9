#include <gtest/gtest.h>

#include "Client/service/AdViewer.h"
#include "Client/system/CommandLineText.h"
#include "ServiceFixture.h"
#include "sdk/text/TextConvert.h"
#include "support/LoopbackHttpServer.h"

namespace qrnv {
namespace {

class AdViewerTest : public test::ServiceFixture {
protected:
    AdViewerTest() : mRecordPath(mTemp.Path() + L"viewer-record.txt"), mRecord(L"QRNV_ADVIEWER_RECORD", mRecordPath) {}

    // The arguments the stand-in viewer was started with, its own path first; one start each.
    std::vector<std::vector<std::wstring>> Starts()
    {
        std::vector<std::vector<std::wstring>> starts;
        for (const std::wstring& line : test::SplitLines(Utf8ToWide(test::ReadFileBytes(mRecordPath)))) {
            starts.push_back(SplitCommandLine(line, true));
        }
        return starts;
    }

    std::wstring mRecordPath;
    test::ScopedVariable mRecord;
};

TEST_F(AdViewerTest, StartsTheViewerWithGuidCampaignAndLanguageAndWaits)
{
    mInfo.mLanguage = 1031;
    Publish();
    PlaceProgram(L"QuarnAdViewer", L"QuarnAdViewer.exe");
    // The viewer's own exit code does not count: a start is a success.
    const test::ScopedVariable exitCode(L"QRNV_ADVIEWER_EXIT_CODE", L"3");
    const test::LogCapture log;
    EXPECT_TRUE(StartAdViewer(L"42"));
    // Waited for: the record is complete when the call returns.
    const std::vector<std::vector<std::wstring>> expected = {
        {ProductFolder() + L"QuarnAdViewer.exe", L"-MachineGuid", test::kTestMachineGuid, L"-AdCampaignId", L"42",
         L"-Language", L"1031"}};
    EXPECT_EQ(expected, Starts());
    EXPECT_TRUE(log.Contains(L"INF", L"Successful"));
    // The command line as it was given to the start, with its quotes.
    const std::wstring arguments = L"-MachineGuid \"" + test::kTestMachineGuid + L"\" -AdCampaignId \"42\" -Language 1031";
    bool started = false;
    for (const std::wstring& line : log.Messages()) {
        started = started || (line.rfind(L"Try start application ", 0) == 0 && line.size() > arguments.size() &&
                              line.compare(line.size() - arguments.size(), arguments.size(), arguments) == 0);
    }
    EXPECT_TRUE(started);
}

TEST_F(AdViewerTest, TheCampaignTextIsQuotedAsItIs)
{
    PlaceProgram(L"QuarnAdViewer", L"QuarnAdViewer.exe");
    EXPECT_TRUE(StartAdViewer(L"Spring 2026"));
    const auto starts = Starts();
    ASSERT_EQ(1u, starts.size());
    const std::vector<std::wstring> expected = {ProductFolder() + L"QuarnAdViewer.exe",
                                                L"-MachineGuid", test::kTestMachineGuid, L"-AdCampaignId",
                                                L"Spring 2026", L"-Language", L"1033"};
    EXPECT_EQ(expected, starts[0]);
}

TEST_F(AdViewerTest, WithoutAViewerNothingStarts)
{
    const test::LogCapture log;
    EXPECT_FALSE(StartAdViewer(L"42"));
    EXPECT_TRUE(log.Contains(L"WAR", L"QuarnAdViewer.exe not found!"));
    EXPECT_TRUE(Starts().empty());
}

TEST_F(AdViewerTest, AViewerThatCannotRunIsAFailure)
{
    ASSERT_TRUE(test::WriteFileBytes(ProductFolder() + L"QuarnAdViewer.exe", "not a program"));
    const test::LogCapture log;
    EXPECT_FALSE(StartAdViewer(L"42"));
    EXPECT_TRUE(log.Contains(L"INF", L"exitCodeApplication 0"));
}

TEST_F(AdViewerTest, DownloadReplacesTheViewerOrSaysWhyNot)
{
    test::LoopbackHttpServer server;
    server.ServeBody("/files/QuarnAdViewer.exe", test::ReadFileBytes(test::HelperProgramPath(L"QuarnAdViewer")));
    server.ServeStatus("/files/gone.exe", 404);
    server.Start();
    ASSERT_TRUE(test::WriteFileBytes(ProductFolder() + L"QuarnAdViewer.exe", "an earlier copy"));

    EXPECT_TRUE(DownloadAdViewer(server.Url(L"/files/QuarnAdViewer.exe")));
    EXPECT_TRUE(StartAdViewer(L"42"));
    EXPECT_EQ(1u, Starts().size());

    const test::LogCapture log;
    const std::wstring url = server.Url(L"/files/gone.exe");
    EXPECT_FALSE(DownloadAdViewer(url));
    EXPECT_TRUE(log.Contains(L"ERR", L"Can\u00b4t download " + url + L" -> " + ProductFolder() + L"QuarnAdViewer.exe"));
}

} // namespace
} // namespace qrnv

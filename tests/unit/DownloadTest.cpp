#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "Client/ProgramInfo.h"
#include "Client/service/Download.h"
#include "Client/service/DownloadCallback.h"
#include "Client/service/WorkerFiles.h"
#include "Client/service/UrlDownload.h"
#include "Client/system/Platform.h"
#include "Client/system/Process.h"
#include "Client/system/ProcessArguments.h"
#include "Client/system/TempFolder.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

using test::LogCapture;
using test::LoopbackHttpServer;

std::string Pattern(std::size_t size)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return s;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(test::ToFsPath(folder), error)) {
        const std::u8string name = entry.path().filename().u8string();
        names.push_back(Utf8ToWide(std::string(name.begin(), name.end())));
    }
    return names;
}

// "Download from '<url>' failed with Code: <n>" with a code other than 0.
bool IsFailureLine(const std::wstring& line, const std::wstring& url)
{
    const std::wstring head = L"Download from '" + url + L"' failed with Code: ";
    if (line.compare(0, head.size(), head) != 0 || line.size() == head.size()) {
        return false;
    }
    try {
        return std::stoll(line.substr(head.size())) != 0;
    } catch (...) {
        return false;
    }
}

std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    for (std::size_t p = text.find(what); p != std::wstring::npos; p = text.find(what, p + with.size())) {
        text.replace(p, what.size(), with);
    }
    return text;
}

class DownloadFileTest : public ::testing::Test {
protected:
    std::wstring Target(const std::wstring& name) const { return mFolder.Path() + name; }

    LoopbackHttpServer mServer;
    test::ScopedFolder mFolder;
};

TEST_F(DownloadFileTest, FetchesTheFileAndLogsOnlyTheStart)
{
    const std::string body = Pattern(300000);
    mServer.ServeBody("/worker.exe", body);
    mServer.Start();
    const std::wstring url = mServer.Url(L"/worker.exe");
    const LogCapture log;
    ASSERT_TRUE(DownloadFile(url, mFolder.Path(), L"worker.exe", true));
    EXPECT_EQ(body, test::ReadFileBytes(Target(L"worker.exe")));
    EXPECT_EQ((std::vector<std::wstring>{L"Downloading from: '" + url + L"' - to: " + Target(L"worker.exe")}), log.Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"worker.exe"}), FilesIn(mFolder.Path()));
}

TEST_F(DownloadFileTest, PartialFilesOfEndedProcessesAreSweptBeforeTheNextTransfer)
{
    // No process has this identifier: it is above every system's process-identifier limit.
    const std::wstring ended = L"2147483000";
    const std::wstring own = FormatText(L"%lu", CurrentProcessId());
    ASSERT_TRUE(IsProcessRunning(CurrentProcessId()));
    ASSERT_FALSE(IsProcessRunning(2147483000u));
    const std::vector<std::wstring> kept = {
        L"worker.exe." + own + L"-4294967295.part", // a transfer of this process
        L"worker.exe.12x-1.part",             // not a partial file's name
        L"worker.exe." + ended + L"-.part",
        L"banner.bmp." + ended + L"-1.part",  // another target's
        L"worker.exe." + ended + L"-1.partial",
    };
    for (const std::wstring& name : kept) {
        ASSERT_TRUE(test::WriteFileBytes(Target(name), "kept"));
    }
    ASSERT_TRUE(test::WriteFileBytes(Target(L"worker.exe." + ended + L"-1.part"), "left by a killed run"));
    ASSERT_TRUE(test::WriteFileBytes(Target(L"worker.exe." + ended + L"-2.part"), "left by a killed run"));

    mServer.ServeBody("/worker.exe", "MZ");
    mServer.Start();
    ASSERT_TRUE(DownloadFile(mServer.Url(L"/worker.exe"), mFolder.Path(), L"worker.exe", true));

    std::vector<std::wstring> expected = kept;
    expected.push_back(L"worker.exe");
    std::vector<std::wstring> found = FilesIn(mFolder.Path());
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(expected, found);
}

TEST_F(DownloadFileTest, CreatesTheFolderWithAllItsLevels)
{
    mServer.ServeBody("/banner.bmp", "BM");
    mServer.Start();
    const std::wstring folder = mFolder.Path() + L"a" + kPathSeparator + L"b" + kPathSeparator;
    ASSERT_TRUE(DownloadFile(mServer.Url(L"/banner.bmp"), folder, L"banner.bmp", false));
    EXPECT_EQ("BM", test::ReadFileBytes(folder + L"banner.bmp"));
}

TEST_F(DownloadFileTest, EveryDownloadAsksTheServerAgainAndReplacesTheFile)
{
    mServer.ServeNumbered("/changing", "version ");
    mServer.Start();
    const std::wstring url = mServer.Url(L"/changing");
    ASSERT_TRUE(DownloadFile(url, mFolder.Path(), L"file", true));
    EXPECT_EQ("version 1", test::ReadFileBytes(Target(L"file")));
    ASSERT_TRUE(DownloadFile(url, mFolder.Path(), L"file", true));
    EXPECT_EQ("version 2", test::ReadFileBytes(Target(L"file")));
    EXPECT_EQ(2, mServer.RequestCount("/changing"));
}

TEST_F(DownloadFileTest, FollowsARedirect)
{
    mServer.ServeRedirect("/old", "/new");
    mServer.ServeBody("/new", "moved here");
    mServer.Start();
    ASSERT_TRUE(DownloadFile(mServer.Url(L"/old"), mFolder.Path(), L"file", true));
    EXPECT_EQ("moved here", test::ReadFileBytes(Target(L"file")));
}

TEST_F(DownloadFileTest, APlainAddressThatFailsIsNotTriedAgain)
{
    mServer.ServeStatus("/missing", 404);
    mServer.Start();
    const std::wstring url = mServer.Url(L"/missing");
    const LogCapture log;
    EXPECT_FALSE(DownloadFile(url, mFolder.Path(), L"file", true));
    const auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"Downloading from: '" + url + L"' - to: " + Target(L"file"), lines[0].message);
    EXPECT_EQ(L"ERR", lines[1].level);
    EXPECT_TRUE(IsFailureLine(lines[1].message, url)) << lines[1].message;
    EXPECT_EQ(1, mServer.RequestCount("/missing"));
    EXPECT_TRUE(FilesIn(mFolder.Path()).empty());
}

TEST_F(DownloadFileTest, ABodyCutOffLeavesNothingUnderTheTargetName)
{
    mServer.ServeCutOff("/cut", 100000, Pattern(40000));
    mServer.Start();
    EXPECT_FALSE(DownloadFile(mServer.Url(L"/cut"), mFolder.Path(), L"fresh.exe", true));
    EXPECT_TRUE(FilesIn(mFolder.Path()).empty());

    // An earlier file under the name stays as it was.
    ASSERT_TRUE(test::WriteFileBytes(Target(L"kept.exe"), "earlier copy"));
    EXPECT_FALSE(DownloadFile(mServer.Url(L"/cut"), mFolder.Path(), L"kept.exe", true));
    EXPECT_EQ("earlier copy", test::ReadFileBytes(Target(L"kept.exe")));
    EXPECT_EQ((std::vector<std::wstring>{L"kept.exe"}), FilesIn(mFolder.Path()));
}

TEST_F(DownloadFileTest, ASecureAddressThatFailsIsTriedOnceMoreInPlain)
{
    // Only plain HTTP listens on the port: the TLS handshake fails, the plain retry works.
    mServer.ServeBody("/worker.exe", "plain body");
    mServer.Start();
    const std::wstring secure = Replace(mServer.Url(L"/worker.exe"), L"http://", L"https://");
    const LogCapture log;
    ASSERT_TRUE(DownloadFile(secure, mFolder.Path(), L"worker.exe", true));
    EXPECT_EQ("plain body", test::ReadFileBytes(Target(L"worker.exe")));
    EXPECT_EQ((std::vector<std::wstring>{L"Downloading from: '" + secure + L"' - to: " + Target(L"worker.exe"),
                                         L"Try to connect without SSL: " + mServer.Url(L"/worker.exe")}),
              log.Messages());
    EXPECT_EQ((std::vector<std::wstring>{L"worker.exe"}), FilesIn(mFolder.Path()));
}

TEST_F(DownloadFileTest, TheRetryReplacesEverySecureScheme)
{
    mServer.ServeBody("/echo", "echo");
    mServer.Start();
    const std::wstring secure = Replace(mServer.Url(L"/echo"), L"http://", L"https://") + L"?next=https://host.invalid/x";
    ASSERT_TRUE(DownloadFile(secure, mFolder.Path(), L"file", true));
    EXPECT_EQ("http://host.invalid/x", mServer.LastQueryValue("/echo", "next"));
}

TEST_F(DownloadFileTest, WhenThePlainRetryFailsTooItIsReported)
{
    mServer.Start();
    const int dead = test::UnusedLoopbackPort();
    const std::wstring plain = L"http://127.0.0.1:" + std::to_wstring(dead) + L"/worker.exe";
    const std::wstring secure = L"https://127.0.0.1:" + std::to_wstring(dead) + L"/worker.exe";
    const LogCapture log;
    EXPECT_FALSE(DownloadFile(secure, mFolder.Path(), L"worker.exe", true));
    const auto messages = log.Messages();
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ(L"Try to connect without SSL: " + plain, messages[1]);
    EXPECT_TRUE(IsFailureLine(messages[2], plain)) << messages[2];
    EXPECT_TRUE(FilesIn(mFolder.Path()).empty());
}

TEST_F(DownloadFileTest, WithoutLoggingFailuresOnlyTheStartIsWritten)
{
    mServer.ServeStatus("/missing", 404);
    mServer.Start();
    const std::wstring secure = Replace(mServer.Url(L"/missing"), L"http://", L"https://");
    const LogCapture log;
    EXPECT_FALSE(DownloadFile(secure, mFolder.Path(), L"file", false));
    EXPECT_EQ((std::vector<std::wstring>{L"Downloading from: '" + secure + L"' - to: " + Target(L"file")}), log.Messages());
    EXPECT_EQ(1, mServer.RequestCount("/missing")); // the plain retry still ran
}

TEST_F(DownloadFileTest, AFolderThatCannotBeMadeIsReportedAndNothingIsFetched)
{
    mServer.ServeBody("/file", "x");
    mServer.Start();
    ASSERT_TRUE(test::WriteFileBytes(Target(L"plainfile"), "x"));
    const std::wstring folder = Target(L"plainfile") + kPathSeparator + L"sub" + kPathSeparator;
    const std::wstring message = L"can not create directory " + folder + L" because: \"";
    for (const bool logFailures : {true, false}) {
        const LogCapture log;
        EXPECT_FALSE(DownloadFile(mServer.Url(L"/file"), folder, L"file", logFailures));
        const auto lines = log.Lines();
        // The level, the whole path, and with logFailures the folder once more.
        ASSERT_EQ(logFailures ? 3u : 2u, lines.size());
        for (const auto& line : lines) {
            EXPECT_EQ(L"ERR", line.level);
            EXPECT_EQ(0u, line.message.find(message)) << line.message;
        }
    }
    EXPECT_EQ(0, mServer.RequestCount("/file"));
}

class RecordingSink : public DownloadProgressSink {
public:
    void ShowDownloadProgress(std::uint32_t done, std::uint32_t total) override
    {
        calls.emplace_back(done, total);
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
};

TEST(DownloadCallback, OnlyDataProgressReachesTheDisplay)
{
    RecordingSink sink;
    DownloadCallback callback(&sink);
    EXPECT_EQ(0, static_cast<std::int32_t>(callback.OnProgress(10, 100, 4, L"connecting")));
    EXPECT_EQ(0, static_cast<std::int32_t>(callback.OnProgress(10, 100, kBindStatusDownloadingData, L"")));
    EXPECT_EQ(0, static_cast<std::int32_t>(callback.OnProgress(0xFFFFFFFFu, 0xFFFFFFFFu, kBindStatusDownloadingData, nullptr)));
    EXPECT_EQ((std::vector<std::pair<std::uint32_t, std::uint32_t>>{{10, 100}, {0xFFFFFFFFu, 0xFFFFFFFFu}}), sink.calls);
    DownloadCallback alone;
    EXPECT_EQ(0, static_cast<std::int32_t>(alone.OnProgress(1, 2, kBindStatusDownloadingData, L"")));
}

class WorkerFilesTest : public ::testing::Test {
protected:
    WorkerFilesTest()
    {
        mInfo.mProgramName = L"AcmeBackup";
        mInfo.mProgramVersion = L"5.1.2";
    }
    std::wstring InFolder(const std::wstring& name)
    {
        std::wstring folder;
        EXPECT_TRUE(GetProductTempFolder(folder, mInfo, true));
        return folder + name;
    }

    LogCapture mLog; // made before the temporary path moves, so the log file stays put
    test::ScopedTempPath mTemp;
    LoopbackHttpServer mServer;
    ProgramInfo mInfo;
};

TEST_F(WorkerFilesTest, FetchesTheWorkerAndReadsItsVersion)
{
    mServer.ServeBody("/worker", test::ReadFileBytes(test::HelperProgramPath(L"qrnv_test_child")));
    mServer.Start();
    std::wstring version = L"unchanged";
    EXPECT_FALSE(GetWorkerFileVersion(mInfo, version));
    EXPECT_EQ(L"unchanged", version);

    ASSERT_TRUE(test::WriteFileBytes(InFolder(L"QuarnRenovaWorker.exe"), "an earlier copy"));
    EXPECT_EQ(kFetchOk, FetchWorkerFile(mInfo, mServer.Url(L"/worker")));
    EXPECT_TRUE(GetWorkerFileVersion(mInfo, version));
    EXPECT_EQ(L"1.2.3.4 / 1.2.3.4", version);
    EXPECT_FALSE(GetAdViewerFileVersion(mInfo, version));
}

TEST_F(WorkerFilesTest, AFailedWorkerDownloadIsAnError)
{
    mServer.ServeStatus("/worker", 404);
    mServer.Start();
    const std::wstring url = mServer.Url(L"/worker");
    const LogCapture log;
    EXPECT_EQ(kFetchDownloadFailed, FetchWorkerFile(mInfo, url));
    EXPECT_TRUE(log.Contains(L"ERR", L"Can\u00b4t download " + url + L" -> " + InFolder(L"QuarnRenovaWorker.exe")));
}

TEST_F(WorkerFilesTest, TheAdViewerIsFetchedAndItsFailuresAreWarnings)
{
    mServer.ServeBody("/viewer", test::ReadFileBytes(test::HelperProgramPath(L"qrnv_test_child")));
    mServer.ServeStatus("/gone", 410);
    mServer.Start();
    FetchAdViewerFile(mInfo, mServer.Url(L"/viewer"));
    std::wstring version;
    EXPECT_TRUE(GetAdViewerFileVersion(mInfo, version));
    EXPECT_EQ(L"1.2.3.4 / 1.2.3.4", version);

    const LogCapture log;
    FetchAdViewerFile(mInfo, mServer.Url(L"/gone"));
    EXPECT_TRUE(log.Contains(L"WAR", L"Can\u00b4t download " + mServer.Url(L"/gone") + L" -> " + InFolder(L"QuarnAdViewer.exe")));
    // The earlier viewer was deleted before the download.
    EXPECT_FALSE(GetAdViewerFileVersion(mInfo, version));
}

} // namespace
} // namespace qrnv

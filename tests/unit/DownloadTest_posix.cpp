#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "Client/ProgramInfo.h"
#include "Client/service/Download.h"
#include "Client/service/UrlDownload.h"
#include "Client/service/WorkerFiles.h"
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

std::wstring FailureLine(const std::wstring& url, std::int32_t code)
{
    return FormatText(L"Download from '%s' failed with Code: %d", url, code);
}

class ScopedLimits {
public:
    explicit ScopedLimits(const DownloadLimits& limits) : mOld(GetDownloadLimits()) { SetDownloadLimits(limits); }
    ~ScopedLimits() { SetDownloadLimits(mOld); }

private:
    DownloadLimits mOld;
};

TEST(DownloadFilePosix, AStalledServerIsGivenUpByTheLowSpeedLimit)
{
    DownloadLimits quick;
    quick.mConnectTimeoutSeconds = 5;
    quick.mLowSpeedBytesPerSecond = 100;
    quick.mLowSpeedSeconds = 2;
    const ScopedLimits limits(quick);
    LoopbackHttpServer server;
    // Ten bytes at once, then nothing for far longer than the limit allows; should the limit
    // not work, the server ends the stall and the download succeeds, failing the test.
    server.ServeStalled("/slow", std::string(50000, 's'), 10, 30);
    server.Start();
    const test::ScopedFolder folder;
    const std::wstring url = server.Url(L"/slow");
    const LogCapture log;
    EXPECT_FALSE(DownloadFile(url, folder.Path(), L"slow.exe", true));
    EXPECT_TRUE(log.Contains(L"ERR", FailureLine(url, kInetConnectionTimeout)));
    EXPECT_TRUE(test::ReadFileBytes(folder.Path() + L"slow.exe").empty());
}

TEST(DownloadFilePosix, FailuresCarryURLMonsCodes)
{
    LoopbackHttpServer server;
    server.ServeStatus("/missing", 404);
    server.ServeStatus("/broken", 500);
    server.ServeRedirect("/loop", "/loop");
    server.Start();
    const std::wstring dead = L"http://127.0.0.1:" + std::to_wstring(test::UnusedLoopbackPort()) + L"/x";
    struct Case {
        std::wstring url;
        std::int32_t code;
    };
    const Case cases[] = {
        {server.Url(L"/missing"), kInetObjectNotFound},
        {server.Url(L"/broken"), kInetDownloadFailure},
        {server.Url(L"/loop"), kInetRedirectFailed},
        {dead, kInetCannotConnect},
        {L"ftp://127.0.0.1/x", kInetInvalidUrl},
        {L"file:///etc/passwd", kInetInvalidUrl},
    };
    const test::ScopedFolder folder;
    for (const auto& c : cases) {
        const LogCapture log;
        EXPECT_FALSE(DownloadFile(c.url, folder.Path(), L"file", true)) << c.url;
        EXPECT_TRUE(log.Contains(L"ERR", FailureLine(c.url, c.code))) << c.url;
    }
    EXPECT_TRUE(test::ReadFileBytes(folder.Path() + L"file").empty());
}

TEST(DownloadFilePosix, ANewFileIsPrivateToTheUser)
{
    LoopbackHttpServer server;
    server.ServeBody("/file", "content");
    server.Start();
    const test::ScopedFolder folder;
    ASSERT_TRUE(DownloadFile(server.Url(L"/file"), folder.Path(), L"file", true));
    struct stat st;
    ASSERT_EQ(0, stat(WideToUtf8(folder.Path() + L"file").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
}

TEST(WorkerFilesPosix, AWorkerThatCannotBeDeletedStopsTheFetch)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may delete in a read-only folder; the Windows test covers this";
    }
    const LogCapture log;
    const test::ScopedTempPath temp;
    ProgramInfo info;
    info.mProgramName = L"AcmeBackup";
    info.mProgramVersion = L"5.1.2";
    std::wstring folder;
    ASSERT_TRUE(GetProductTempFolder(folder, info, true));
    const std::wstring path = folder + L"QuarnRenovaWorker.exe";
    ASSERT_TRUE(test::WriteFileBytes(path, "in use"));
    chmod(WideToUtf8(folder).c_str(), 0500);
    LoopbackHttpServer server;
    server.ServeBody("/worker", "new");
    server.Start();
    const std::int32_t result = FetchWorkerFile(info, server.Url(L"/worker"));
    chmod(WideToUtf8(folder).c_str(), 0700);
    EXPECT_EQ(kFetchCannotDelete, result);
    EXPECT_TRUE(log.Contains(L"ERR", L"Can\u00b4t delete " + path));
    EXPECT_EQ(0, server.RequestCount("/worker"));
}

} // namespace
} // namespace qrnv

#include <gtest/gtest.h>

#include "Client/ProgramInfo.h"
#include "Client/service/DownloadCallback.h"
#include "Client/service/WorkerFiles.h"
#include "Client/system/TempFolder.h"
#include "sdk/WinInclude.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

using test::LogCapture;

TEST(DownloadCallbackWin32, EveryOperationButProgressIsNotImplemented)
{
    DownloadCallback callback;
    IBindStatusCallback& com = callback;
    void* object = &callback;
    EXPECT_EQ(E_NOTIMPL, com.QueryInterface(IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(0u, com.AddRef());
    EXPECT_EQ(0u, com.Release());
    LONG priority = 0;
    DWORD flags = 0;
    BINDINFO info = {};
    EXPECT_EQ(E_NOTIMPL, com.OnStartBinding(0, nullptr));
    EXPECT_EQ(E_NOTIMPL, com.GetPriority(&priority));
    EXPECT_EQ(E_NOTIMPL, com.OnLowResource(0));
    EXPECT_EQ(S_OK, com.OnProgress(1, 2, BINDSTATUS_DOWNLOADINGDATA, L""));
    EXPECT_EQ(E_NOTIMPL, com.OnStopBinding(S_OK, nullptr));
    EXPECT_EQ(E_NOTIMPL, com.GetBindInfo(&flags, &info));
    EXPECT_EQ(E_NOTIMPL, com.OnDataAvailable(0, 0, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, com.OnObjectAvailable(IID_IUnknown, nullptr));
    EXPECT_EQ(static_cast<std::uint32_t>(BINDSTATUS_DOWNLOADINGDATA), kBindStatusDownloadingData);
}

// A file that is open without delete sharing cannot be deleted.
class LockedFile {
public:
    explicit LockedFile(const std::wstring& path)
        : mHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~LockedFile()
    {
        if (mHandle != INVALID_HANDLE_VALUE) {
            CloseHandle(mHandle);
        }
    }
    bool IsOpen() const { return mHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE mHandle;
};

TEST(WorkerFilesWin32, AFileInUseStopsTheWorkerButNotTheAdViewer)
{
    const LogCapture log;
    const test::ScopedTempPath temp;
    ProgramInfo info;
    info.mProgramName = L"AcmeBackup";
    info.mProgramVersion = L"5.1.2";
    std::wstring folder;
    ASSERT_TRUE(GetProductTempFolder(folder, info, true));
    const std::wstring worker = folder + L"QuarnRenovaWorker.exe";
    const std::wstring viewer = folder + L"QuarnAdViewer.exe";
    ASSERT_TRUE(test::WriteFileBytes(worker, "in use"));
    ASSERT_TRUE(test::WriteFileBytes(viewer, "in use"));
    test::LoopbackHttpServer server;
    server.ServeBody("/worker", "new worker");
    server.ServeBody("/viewer", "new viewer");
    server.Start();
    {
        const LockedFile lockedWorker(worker), lockedViewer(viewer);
        ASSERT_TRUE(lockedWorker.IsOpen() && lockedViewer.IsOpen());
        EXPECT_EQ(kFetchCannotDelete, FetchWorkerFile(info, server.Url(L"/worker")));
        FetchAdViewerFile(info, server.Url(L"/viewer"));
    }
    EXPECT_TRUE(log.Contains(L"ERR", L"Can\u00b4t delete " + worker));
    EXPECT_EQ(0, server.RequestCount("/worker"));
    // The viewer's download still ran; the file in use could not be replaced.
    EXPECT_TRUE(log.Contains(L"WAR", L"Can\u00b4t delete " + viewer));
    EXPECT_EQ(1, server.RequestCount("/viewer"));
    EXPECT_TRUE(log.Contains(L"WAR", L"Can\u00b4t download " + server.Url(L"/viewer") + L" -> " + viewer));
    EXPECT_EQ("in use", test::ReadFileBytes(viewer));
}

} // namespace
} // namespace qrnv

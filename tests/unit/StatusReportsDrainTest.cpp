// The process's end gives reports still on their way a bounded time.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/service/StatusReports.h"
#include "Client/system/Registry.h"
#include "RegistrySandbox.h"
#include "support/LoopbackServer.h"

namespace qrnv {
namespace {

TEST(StatusReportsDrain, WaitsForAReportOnItsWayAndNoLonger)
{
    SetUpLog(L"QuarnRenova");
    test::RegistrySandbox sandbox;
    ResetProgramInfoForTests();
    ProgramInfo info;
    info.mProgramName = sandbox.UniqueProductName(L"Quarn Tool");
    info.mProgramVersion = L"1.2.3";
    PublishProgramInfo(info);

    std::atomic<int> received{0};
    test::LoopbackServer server;
    server.Server().Post("/Renova/QRNVWebservice.asmx/ReportUpdateStatus",
                         [&](const httplib::Request&, httplib::Response& response) {
                             std::this_thread::sleep_for(std::chrono::milliseconds(400));
                             ++received;
                             response.set_content("<string xmlns=\"http://tempuri.org/\" />", "text/xml");
                         });
    ASSERT_NE(0, server.Start());
    RegKey key;
    ASSERT_TRUE(key.Create(RegHive::CurrentUser, ProductKeyPath(info), RegView::Registry64));
    ASSERT_TRUE(key.WriteText(L"DebugUrl_v2", server.BaseUrl() + L"Renova/"));

    EXPECT_TRUE(WaitForRunningReports(0)); // nothing on its way
    StartUpdateStatusReport(kStatusServerError, 0);
    EXPECT_FALSE(WaitForRunningReports(50));
    EXPECT_TRUE(WaitForRunningReports(10000));
    EXPECT_EQ(1, received.load());
    ResetProgramInfoForTests();
}

} // namespace
} // namespace qrnv

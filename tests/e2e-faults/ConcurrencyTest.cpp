// Many clients at once against one service and one registry store, and a client killed in
// the middle of its worker download.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "FaultRun.h"
#include "support/ChildProcess.h"
#include "support/LogLines.h"
#include "support/TestSupport.h"

namespace qrnv::e2e {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;

const std::vector<std::string> kCheck = {"-QuickCheck", "-UpdateCheckSilent", "-WriteCheckResultToReg"};

class Concurrency : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(mScratch / "service/files");
        ASSERT_TRUE(test::CopyFileTo(BinFolder() + "/QuarnRenovaWorker", mScratch / "service/files/QuarnRenovaWorker.exe"));
        ASSERT_TRUE(mService.Start(BinFolder() + "/qrnv-service", mScratch / "service", "127.0.0.1:0", ""))
            << mService.Output();
    }
    std::string Product(const std::string& stem) const { return "Together " + stem + " " + std::to_string(getpid()); }

    test::ScopedFolder mScratch{L"concurrency"};
    StandInService mService;
};

TEST_F(Concurrency, SixteenClientsAtOnceEachEndWithTheirResultAndWholeLogLines)
{
    constexpr int kClients = 16;
    // Every second product has an update; the others are up to date.
    Json catalog = {{"products", Json::array()}};
    for (int i = 0; i < kClients; ++i) {
        catalog["products"].push_back({{"name", Product(std::to_string(i))}, {"newestVersion", i % 2 ? "2.0" : "1.0"}});
    }
    ASSERT_TRUE(mService.WriteCatalog(catalog));
    // One store and one temporary folder for all of them, as on one machine.
    const Sandbox box(mScratch / "machine");
    for (int i = 0; i < kClients; ++i) {
        ASSERT_TRUE(RegAddText(box.registry, "HKCU\\" + kSettingsKey + "\\" + Product(std::to_string(i)), "DebugUrl_v2",
                               mService.Base() + "/Renova/"));
    }
    std::vector<ClientOutcome> outcomes(kClients);
    std::vector<std::thread> runners;
    for (int i = 0; i < kClients; ++i) {
        runners.emplace_back([&, i] {
            outcomes[i] = RunClient(box, Product(std::to_string(i)), kCheck, {{"QRNV_HTTP_TIMEOUT_MS", "10000"}}, 60s);
        });
    }
    for (auto& r : runners) {
        r.join();
    }
    for (int i = 0; i < kClients; ++i) {
        SCOPED_TRACE(Product(std::to_string(i)) + "\n" + outcomes[i].Describe());
        EXPECT_EQ(i % 2 ? 2 : 0, outcomes[i].exitCode);
        EXPECT_TRUE(outcomes[i].Logged("INF", "UpdateResult " + std::to_string(i % 2 ? 3 : 1)));
        const std::string key = "HKCU\\" + kSettingsKey + "\\" + Product(std::to_string(i));
        if (i % 2) {
            EXPECT_EQ(std::make_optional(std::pair<std::string, std::string>("REG_DWORD", "0x1")),
                      RegQuery(box.registry, key + "\\1.0", "UpdateResult"));
        } else {
            EXPECT_EQ(std::nullopt, RegQuery(box.registry, key + "\\1.0", "UpdateResult")) << "no update stores nothing";
        }
        EXPECT_TRUE(RegQuery(box.registry, key, "DebugUrl_v2").has_value());
    }
    // Every log file, the ones the clients share included: whole, well-formed lines.
    int files = 0;
    for (const auto& e : fs::directory_iterator(box.LogFolder())) {
        if (e.path().extension() != ".log") {
            continue;
        }
        ++files;
        const auto lines = test::SplitLogLines(test::ReadFileBytes(e.path().string()));
        EXPECT_TRUE(lines.complete) << e.path() << " does not end with CR LF";
        for (const std::string& line : lines.lines) {
            // A message may hold line feeds (the request is logged as printed); each record
            // between CR LFs starts with its head.
            EXPECT_TRUE(test::ParseLogLine(line).has_value()) << e.path() << ": " << line;
        }
    }
    EXPECT_GE(files, kClients);
}

TEST_F(Concurrency, AClientKilledDuringTheWorkerDownloadLeavesNoWorkerAndTheNextRunStartsIt)
{
    const std::string product = Product("Killed");
    // A normal run names no product: the default entry answers it.
    const Json entry = {{"workerUrl", "{base}/files/QuarnRenovaWorker.exe"}};
    ASSERT_TRUE(mService.WriteCatalog(
        {{"default", entry}, {"files", {{"QuarnRenovaWorker.exe", {{"kind", "slow"}, {"delayMs", 60000}}}}}}));
    const Sandbox box(mScratch / "killed");
    ASSERT_TRUE(RegAddText(box.registry, "HKCU\\" + kSettingsKey + "\\" + product, "DebugUrl_v2", mService.Base() + "/Renova/"));
    const std::string record = mScratch / "worker.txt";
    const Environment env = {{"TMPDIR", box.temp},
                             {"QRNV_REGISTRY_ROOT", box.registry},
                             {"QRNV_WORKER_RECORD", record},
                             {"QRNV_WORKER_EXIT_CODE", "7"}};
    const std::vector<std::string> argv = ClientCommand(box, product, {"-UpdateSilent", "-WriteCheckResultToReg"});
    {
        test::ChildProcess client;
        ASSERT_TRUE(client.Start(argv, env, mScratch / "killed.out"));
        // The journal has the GET before the service starts its delay.
        bool downloading = false;
        for (int i = 0; i < 2000 && !downloading && client.Running(); ++i) {
            for (const Json& e : mService.Journal()) {
                downloading = downloading || (e.value("httpMethod", "") == "GET" && e.value("file", "") == "QuarnRenovaWorker.exe");
            }
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(downloading) << test::ReadFileBytes(mScratch / "killed.out");
        client.Signal(SIGKILL);
        EXPECT_EQ(128 + SIGKILL, client.WaitFor(10s));
    }
    EXPECT_FALSE(fs::exists(box.ProductFolder(product) + "QuarnRenovaWorker.exe"));
    EXPECT_EQ("", test::ReadFileBytes(record)) << "no worker was started";

    ASSERT_TRUE(mService.WriteCatalog({{"default", entry}}));
    const ClientOutcome next = RunClient(box, product, {"-UpdateSilent", "-WriteCheckResultToReg"},
                                         {{"QRNV_WORKER_RECORD", record}, {"QRNV_WORKER_EXIT_CODE", "7"}}, 60s);
    EXPECT_EQ(7, next.exitCode) << next.Describe();
    EXPECT_TRUE(next.Logged("INF", "exitCodeApplication 7")) << next.Describe();
    EXPECT_TRUE(fs::exists(box.ProductFolder(product) + "QuarnRenovaWorker.exe"));
    // The killed run's partial file is swept by the next transfer of the same file.
    for (const auto& entry : fs::directory_iterator(box.ProductFolder(product))) {
        EXPECT_NE(".part", entry.path().extension()) << entry.path();
    }
    const std::string started = test::ReadFileBytes(record);
    EXPECT_EQ(1, std::count(started.begin(), started.end(), '\n')) << started;
}

} // namespace
} // namespace qrnv::e2e

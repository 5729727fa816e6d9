// The fault matrix: for every failure the stand-in service can produce, and for broken local
// folders, stores and workers, one run of the real client and what it leaves: the exit code,
// the check result for the calling product in the registry, the log lines that tell the
// failure, an end within the time-out (a hang guard, not a speed goal), and nothing half
// written (no worker file after a failed download, no download leftovers, a readable store).

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "FaultRun.h"
#include "support/TestSupport.h"

namespace qrnv::e2e {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;

// Short HTTP time-outs keep the slow rows quick; the guard allows far more.
constexpr int kTimeoutMs = 1000;
constexpr auto kHangGuard = std::chrono::milliseconds(kTimeoutMs) + 20s;

const std::string kServerUnavailable = "Server is temporarily unavailable during maintenance.";
const std::string kNoConnection = "Connection to server failed. Please check your internet connection.";
const std::string kUpdateText = "A more up-to-date program version is available. Would you like to install it now?\n"
                                "Please close all programs before starting the installation!";
const std::string kOtherInstance = "An other instance of the Quarn Renova is still running.";

const std::vector<std::string> kCheck = {"-QuickCheck", "-UpdateCheckSilent", "-WriteCheckResultToReg"};
const std::vector<std::string> kHandOff = {"-UpdateSilent", "-WriteCheckResultToReg"};

enum class Where { Service, Tls, DeadPort };
enum class Local { Sound, TempIsAFile, MachineStoreIsAFolder };

struct Stored {
    std::string flag; // as reg query prints the 32-bit value
    std::string text;
};

struct Row {
    const char* stem;
    std::vector<std::string> mode;
    Json entry;                  // the product's catalog entry (its name is added)
    Json fileFault;              // a fault for the worker file the entry names
    Where where = Where::Service;
    Local local = Local::Sound;
    Environment environment;
    // A failed post: offline the client says so instead of blaming the server.
    bool postFails = false;
    int exitCode;
    std::optional<Stored> stored; // nothing: no check result is stored
    std::vector<std::pair<std::string, std::string>> lines; // level, message (a trailing "*": the start)
    bool workerStays = false;     // the worker file stays in the product's folder
    bool logWritten = true;
    bool workerStarted = false;   // the run ends in the hand-off, with the worker's code
};

// A hand-off run asks for no product, so the service answers from its default entry.
Json WorkerAt(const std::string& file)
{
    return {{"workerUrl", "{base}/files/" + file}};
}

class FaultMatrix : public ::testing::Test {
protected:
    std::string Product(const std::string& stem) const
    {
        return "Faults " + stem + " " + std::to_string(getpid());
    }

    test::ScopedFolder mScratch{L"faults"};
};

TEST_F(FaultMatrix, EveryFailureEndsWithItsResultItsLinesAndNothingHalfWritten)
{
    const bool online = NetworkInterfaceUp();
    const Stored unavailable{"0x0", online ? kServerUnavailable : kNoConnection};
    const std::string failedPost = online ? "" : "(offline) ";
    const std::string worker = "QuarnRenovaWorker.exe";
    const std::vector<Row> rows = {
        // The service's answers.
        {"Status404", kCheck, {{"fault", {{"kind", "status"}, {"status", 404}}}}, {}, Where::Service, Local::Sound, {}, true, 1,
         unavailable, {{"ERR", "/QuickCheck result = 404"}, {"ERR", "result != S_OK"}}},
        {"Status500", kCheck, {{"fault", {{"kind", "status"}, {"status", 500}}}}, {}, Where::Service, Local::Sound, {}, true, 1,
         unavailable, {{"ERR", "/QuickCheck result = 500"}, {"ERR", "result != S_OK"}}},
        {"Status503", kCheck, {{"fault", {{"kind", "status"}, {"status", 503}}}}, {}, Where::Service, Local::Sound, {}, true, 1,
         unavailable, {{"ERR", "/QuickCheck result = 503"}, {"ERR", "result != S_OK"}}},
        {"Empty", kCheck, {{"fault", {{"kind", "empty"}}}}, {}, Where::Service, Local::Sound, {}, false, 1,
         Stored{"0x0", kServerUnavailable}, {{"INF", "/QuickCheck result = 0"}, {"ERR", "Length of responseString = 0"}}},
        {"EmptyString", kCheck, {{"fault", {{"kind", "empty-string"}}}}, {}, Where::Service, Local::Sound, {}, false, 1,
         Stored{"0x0", kServerUnavailable}, {{"ERR", "Length of responseString = 0"}}},
        {"NotXml", kCheck, {{"fault", {{"kind", "not-xml"}}}}, {}, Where::Service, Local::Sound, {}, false, 1,
         Stored{"0x0", kServerUnavailable}, {{"ERR", "Length of responseString = 0"}}},
        {"WrongFirstChild", kCheck, {{"fault", {{"kind", "element-first"}}}}, {}, Where::Service, Local::Sound, {}, false, 1,
         Stored{"0x0", kServerUnavailable}, {{"ERR", "Length of responseString = 0"}}},
        {"Slow", kCheck, {{"fault", {{"kind", "slow"}, {"delayMs", kTimeoutMs + 3000}}}}, {}, Where::Service, Local::Sound, {},
         true, 1, unavailable, {{"ERR", "/QuickCheck result = 12002"}, {"ERR", "result != S_OK"}}},
        {"CutOff", kCheck, {{"fault", {{"kind", "close-mid-body"}}}}, {}, Where::Service, Local::Sound, {}, true, 1, unavailable,
         {{"ERR", "/QuickCheck result = 12030"}}},
        {"Oversized", kCheck, {{"fault", {{"kind", "oversized"}, {"bytes", 9 * 1024 * 1024}}}}, {}, Where::Service, Local::Sound,
         {}, true, 1, unavailable, {{"ERR", "/QuickCheck result = 12152"}}},
        // An untrusted certificate: the error, then one plain try on the same host and port.
        {"Untrusted", kCheck, {{"newestVersion", "2.0"}}, {}, Where::Tls, Local::Sound, {}, true, 1, unavailable,
         {{"ERR", "/QuickCheck result = 12045"}, {"WAR", "Try to connect without SSL: http://*"}}},
        {"DeadPort", kCheck, {{"newestVersion", "2.0"}}, {}, Where::DeadPort, Local::Sound, {}, true, 1, unavailable,
         {{"ERR", "/QuickCheck result = 12029"}, {"ERR", "result != S_OK"}}},
        // Local trouble: the check's result still reaches the caller.
        {"TempIsAFile", kCheck, {{"newestVersion", "2.0"}}, {}, Where::Service, Local::TempIsAFile, {}, false, 2,
         Stored{"0x1", kUpdateText}, {}, false, false},
        {"MachineStoreIsAFolder", kCheck, {{"newestVersion", "2.0"}}, {}, Where::Service, Local::MachineStoreIsAFolder, {},
         false, 2, Stored{"0x1", kUpdateText}, {{"INF", "/QuickCheck result = 0"}}},
        // The worker.
        {"WorkerStatus500", kHandOff, WorkerAt("W500.exe"), {{"kind", "status"}, {"status", 500}}, Where::Service, Local::Sound,
         {}, false, 1, std::nullopt, {{"ERR", "Can\xb4t download *"}, {"INF", "Dialog::OnTimer: PLEASE_CONTACT_SUPPORT"}}},
        // An empty file is a complete download; it then does not start.
        {"WorkerEmpty", kHandOff, WorkerAt("WEmpty.exe"), {{"kind", "empty"}}, Where::Service, Local::Sound, {}, false, 1,
         std::nullopt, {{"INF", "Dialog::OnTimer: PLEASE_CONTACT_SUPPORT"}, {"ERR", "StartProcess for *"}}, true},
        {"WorkerCutOff", kHandOff, WorkerAt("WCut.exe"), {{"kind", "close-mid-body"}}, Where::Service, Local::Sound, {}, false,
         1, std::nullopt, {{"ERR", "Can\xb4t download *"}, {"INF", "Dialog::OnTimer: PLEASE_CONTACT_SUPPORT"}}},
        {"WorkerNotOnServer", kHandOff, WorkerAt("NoSuchWorker.exe"), {}, Where::Service, Local::Sound, {}, false, 1,
         std::nullopt, {{"ERR", "Can\xb4t download *"}, {"INF", "Dialog::OnTimer: PLEASE_CONTACT_SUPPORT"}}},
        {"NoWorkerAtAll", kHandOff, Json::object(), {}, Where::Service, Local::Sound, {}, false, 1,
         Stored{"0x0", kServerUnavailable}, {{"ERR", "No Renovar available."}}},
        {"WorkerExitsMinusOne", kHandOff, WorkerAt("WMinus.exe"), {}, Where::Service, Local::Sound,
         {{"QRNV_WORKER_EXIT_CODE", "-1"}}, false, 255, Stored{"0x0", kOtherInstance},
         {{"INF", "exitCodeApplication -1"}}, true, true, true},
        {"WorkerTempIsAFile", kHandOff, WorkerAt("WTemp.exe"), {}, Where::Service, Local::TempIsAFile, {}, false, 1,
         std::nullopt, {}, false, false},
    };

    // Each row with a service and a sandbox of its own; the hand-off rows' services answer
    // from their default entry, since a normal run names no product.
    std::vector<std::unique_ptr<StandInService>> services;
    std::vector<std::unique_ptr<Sandbox>> sandboxes;
    for (const Row& row : rows) {
        const std::string folder = mScratch / (std::string(row.stem) + "-service");
        fs::create_directories(folder + "/files");
        const bool handOff = row.mode == kHandOff;
        Json catalog = Json::object();
        if (handOff) {
            catalog["default"] = row.entry;
        } else {
            Json entry = row.entry;
            entry["name"] = Product(row.stem);
            catalog["products"] = Json::array({entry});
        }
        if (row.entry.contains("workerUrl")) {
            const std::string url = row.entry["workerUrl"];
            const std::string file = url.substr(url.rfind('/') + 1);
            if (file != "NoSuchWorker.exe") {
                ASSERT_TRUE(test::CopyFileTo(BinFolder() + "/QuarnRenovaWorker", folder + "/files/" + file));
            }
            if (!row.fileFault.is_null()) {
                catalog["files"][file] = row.fileFault;
            }
        }
        ASSERT_TRUE(test::WriteFileAtomically(folder + "/catalog.json", catalog.dump(2)));
        services.push_back(std::make_unique<StandInService>());
        StandInService& service = *services.back();
        ASSERT_TRUE(service.Start(BinFolder() + "/qrnv-service", folder, "127.0.0.1:0",
                                  row.where == Where::Tls ? "127.0.0.1:0" : ""))
            << service.Output();
        std::string base = service.Base();
        if (row.where == Where::Tls) {
            const std::string ports = test::ReadFileBytes(folder + "/ports");
            const std::size_t at = ports.find("https=");
            ASSERT_NE(std::string::npos, at) << ports;
            base = "https://127.0.0.1:" + std::to_string(std::atoi(ports.c_str() + at + 6));
        } else if (row.where == Where::DeadPort) {
            base = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort());
        }
        sandboxes.push_back(std::make_unique<Sandbox>(mScratch / row.stem));
        ASSERT_TRUE(RegAddText(sandboxes.back()->registry, "HKCU\\" + kSettingsKey + "\\" + Product(row.stem), "DebugUrl_v2",
                               base + "/Renova/"));
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].local == Local::TempIsAFile) {
            fs::remove_all(sandboxes[i]->temp);
            ASSERT_TRUE(test::WriteFileAtomically(sandboxes[i]->temp.substr(0, sandboxes[i]->temp.size() - 1), "a file"));
        } else if (rows[i].local == Local::MachineStoreIsAFolder) {
            fs::remove(sandboxes[i]->registry + "/HKLM.db");
            fs::create_directories(sandboxes[i]->registry + "/HKLM.db");
        }
    }
    std::vector<ClientOutcome> outcomes(rows.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> runners;
    for (int t = 0; t < 4; ++t) {
        runners.emplace_back([&] {
            for (std::size_t i = next++; i < rows.size(); i = next++) {
                Environment env = {{"QRNV_HTTP_TIMEOUT_MS", std::to_string(kTimeoutMs)},
                                   {"QRNV_WORKER_RECORD", mScratch / (std::string(rows[i].stem) + "-worker.txt")}};
                env.insert(env.end(), rows[i].environment.begin(), rows[i].environment.end());
                outcomes[i] = RunClient(*sandboxes[i], Product(rows[i].stem), rows[i].mode, env, kHangGuard);
            }
        });
    }
    for (auto& r : runners) {
        r.join();
    }

    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const ClientOutcome& run = outcomes[i];
        const Sandbox& box = *sandboxes[i];
        const std::string product = Product(row.stem);
        SCOPED_TRACE(failedPost + row.stem + "\n" + run.Describe());
        ASSERT_TRUE(run.exitCode.has_value()) << "it ran past the time-out and the guard, and was killed";
        EXPECT_LE(run.took, kHangGuard);
        EXPECT_EQ(row.postFails && !online ? 1 : row.exitCode, *run.exitCode);

        const std::string key = "HKCU\\" + kSettingsKey + "\\" + product;
        for (const std::string& k : {key, key + "\\1.0"}) {
            const auto flag = RegQuery(box.registry, k, "UpdateResult");
            const auto text = RegQuery(box.registry, k, "UpdateResultString");
            if (row.stored) {
                EXPECT_EQ(std::make_optional(std::pair<std::string, std::string>("REG_DWORD", row.stored->flag)), flag) << k;
                EXPECT_EQ(std::make_optional(std::pair<std::string, std::string>("REG_SZ", row.stored->text)), text) << k;
            } else {
                EXPECT_EQ(std::nullopt, flag) << k;
                EXPECT_EQ(std::nullopt, text) << k;
            }
        }
        // The store still reads, and what was there before is kept.
        EXPECT_TRUE(RegQuery(box.registry, key, "DebugUrl_v2").has_value());

        EXPECT_EQ(row.logWritten, !run.logFiles.empty());
        for (const auto& [level, message] : row.lines) {
            if (!message.empty() && message.back() == '*') {
                EXPECT_TRUE(run.LoggedStart(level, message.substr(0, message.size() - 1))) << level << " " << message;
            } else if (row.postFails && !online && message.rfind("/QuickCheck", 0) != 0 && message != "result != S_OK") {
                continue;
            } else {
                EXPECT_TRUE(run.Logged(level, message)) << level << " " << message;
            }
        }
        // A started worker ends the run from the hand-off itself, without the closing line.
        if (row.logWritten && !row.workerStarted) {
            EXPECT_TRUE(run.LoggedStart("INF", "ExitCode " + std::to_string(*run.exitCode)));
        }

        // Nothing half written in the product's folder.
        std::error_code error;
        for (const auto& e : fs::directory_iterator(box.ProductFolder(product), error)) {
            const std::string name = e.path().filename().string();
            EXPECT_FALSE(name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0) << name << " was left behind";
        }
        if (!row.workerStays) {
            EXPECT_FALSE(fs::exists(box.ProductFolder(product) + worker)) << "a worker that did not start is not left";
        }
    }
}

} // namespace
} // namespace qrnv::e2e

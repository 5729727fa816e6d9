// The real client against the real stand-in service on loopback. For each silent mode and
// result: the exit code (and the log's "ExitCode" line, which keeps all 32 bits), the reports
// in the service's journal, the registry values for the calling product, the command lines
// the worker and the ad viewer got. Natively and, for the Windows build, under Wine.
// Interactive runs go through the console window with scripted input (natively).

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace qrnv::e2e {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kBase = "Software\\Quarn\\Quarn Renova";

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

using Scratch = test::ScopedFolder;
using test::Environment;
using test::ReadFileBytes;

struct RegValue {
    std::string type;
    std::string data; // its first line
};

// How the client is run, and how its registry and temporary folder are reached: natively
// with a registry store and a temporary folder of the test's own, or under Wine in the
// prefix the caller made.
class Platform {
public:
    Platform(bool wine, const Scratch& scratch) : mWine(wine), mScratch(scratch)
    {
        if (!mWine) {
            fs::create_directories(scratch / "tmp");
            fs::create_directories(scratch / "registry");
            chmod((scratch / "tmp").c_str(), 0700);
        }
    }

    bool Wine() const { return mWine; }

    std::vector<std::string> Client(const std::vector<std::string>& args) const
    {
        std::vector<std::string> argv;
        if (mWine) {
            argv = {Env("QRNV_E2E_WINE_RUN"), Env("QRNV_E2E_WINE_CLIENT")};
        } else {
            argv = {QRNV_CLIENT_PROGRAM};
        }
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    Environment ClientEnvironment() const
    {
        if (mWine) {
            return {};
        }
        return {{"TMPDIR", mScratch / "tmp"}, {"QRNV_REGISTRY_ROOT", mScratch / "registry"}};
    }

    // The client's temporary path (its Quarn Software folder lies in it).
    std::string TempPath() const
    {
        if (!mWine) {
            return mScratch / "tmp";
        }
        const passwd* user = getpwuid(geteuid());
        return Env("WINEPREFIX") + "/drive_c/users/" + (user ? user->pw_name : "root") + "/Temp";
    }

    // A path of ours as the client's side names it.
    std::string ClientPath(const std::string& path) const
    {
        if (!mWine) {
            return path;
        }
        std::string out = "Z:" + path;
        for (char& c : out) {
            if (c == '/') {
                c = '\\';
            }
        }
        return out;
    }

    std::string WorkerProgram() const { return mWine ? Env("QRNV_E2E_WINE_WORKER") : QRNV_WORKER_PROGRAM; }
    std::string AdViewerProgram() const { return mWine ? Env("QRNV_E2E_WINE_ADVIEWER") : QRNV_ADVIEWER_PROGRAM; }

    bool RegAdd(const std::string& key, const std::string& name, const std::string& type, const std::string& data) const
    {
        return Reg({"add", key, "/v", name, "/t", type, "/d", data, "/f"}) == 0;
    }

    void RegDelete(const std::string& key) const { Reg({"delete", key, "/f"}); }

    std::map<std::string, RegValue> RegQuery(const std::string& key) const
    {
        const std::string out = mScratch / "reg.out";
        fs::remove(out);
        Reg({"query", key}, out);
        std::map<std::string, RegValue> values;
        std::string text = ReadFileBytes(out);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.rfind("    ", 0) != 0) {
                continue;
            }
            const std::size_t a = line.find("    ", 4);
            const std::size_t b = a == std::string::npos ? a : line.find("    ", a + 4);
            if (b == std::string::npos) {
                continue;
            }
            values[line.substr(4, a - 4)] = {line.substr(a + 4, b - a - 4), line.substr(b + 4)};
        }
        return values;
    }

private:
    int Reg(const std::vector<std::string>& args, const std::string& output = "") const
    {
        std::vector<std::string> argv;
        if (mWine) {
            argv = {Env("QRNV_E2E_WINE_RUN"), "reg"};
        } else {
            argv = {QRNV_REG_PROGRAM};
        }
        argv.insert(argv.end(), args.begin(), args.end());
        const auto status = test::RunProgram(argv, ClientEnvironment(), output.empty() ? mScratch / "reg.log" : output);
        return status.value_or(-1);
    }

    bool mWine;
    const Scratch& mScratch;
};

// The stand-in service with a catalog, files and journal of the test's own.
class Service {
public:
    explicit Service(const Scratch& scratch) : mScratch(scratch)
    {
        fs::create_directories(scratch / "files");
        SetCatalog(Json::object());
        mProcess.Start({QRNV_SERVICE_PROGRAM, "--listen", "127.0.0.1:0", "--catalog", scratch / "catalog.json", "--files",
                        scratch / "files", "--journal", scratch / "journal.jsonl", "--port-file", scratch / "ports",
                        "--exit-after", "600"},
                       {}, scratch / "service.log");
        for (int i = 0; i < 500 && !fs::exists(scratch / "ports"); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        const std::string ports = ReadFileBytes(scratch / "ports");
        const std::size_t at = ports.find("http=");
        if (at != std::string::npos) {
            mPort = std::atoi(ports.c_str() + at + 5);
        }
    }

    int Port() const { return mPort; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(mPort) + "/Renova/"; }

    void SetCatalog(const Json& catalog) { test::WriteFileAtomically(mScratch / "catalog.json", catalog.dump(2)); }

    std::vector<Json> Journal() const
    {
        std::vector<Json> entries;
        const std::string text = ReadFileBytes(mScratch / "journal.jsonl");
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            if (end > start) {
                entries.push_back(Json::parse(text.substr(start, end - start), nullptr, false));
            }
            start = end + 1;
        }
        return entries;
    }

    std::vector<Json> Calls(const std::string& method) const
    {
        std::vector<Json> calls;
        for (const Json& e : Journal()) {
            if (e.is_object() && e.value("serviceMethod", "") == method) {
                calls.push_back(e);
            }
        }
        return calls;
    }

    // The <Status> of each report of the method, in the order they came.
    std::vector<int> Statuses(const std::string& method) const
    {
        std::vector<int> statuses;
        static const std::regex status("<Status>(-?[0-9]+)</Status>");
        for (const Json& call : Calls(method)) {
            std::smatch m;
            const std::string document = call.value("document", "");
            if (std::regex_search(document, m, status)) {
                statuses.push_back(std::stoi(m[1]));
            }
        }
        std::sort(statuses.begin(), statuses.end());
        return statuses;
    }

private:
    const Scratch& mScratch;
    test::ChildProcess mProcess;
    int mPort = 0;
};

// What a Linux parent sees of an exit code: its low 8 bits; Wine turns a code whose low
// bits are 0 (256) into 1, so that it does not read as success.
int ExpectedStatus(std::int64_t code, bool wine)
{
    const int low = static_cast<int>(code & 0xFF);
    return wine && low == 0 && code != 0 ? 1 : low;
}

std::string UniqueProduct()
{
    static std::atomic<int> counter{0};
    return "Quarn E2E " + std::to_string(getpid()) + " " + std::to_string(++counter);
}

// What one run of the client leaves behind.
struct Outcome {
    std::optional<int> status;
    std::string log; // all log files of the product
};

class ClientTest {
public:
    explicit ClientTest(bool wine) : mPlatform(wine, mScratch), mService(mScratch), mProduct(UniqueProduct())
    {
        fs::copy_file(mPlatform.WorkerProgram(), mScratch / "files/QuarnRenovaWorker.exe");
        fs::copy_file(mPlatform.AdViewerProgram(), mScratch / "files/QuarnAdViewer.exe");
        mPlatform.RegAdd(ProductKey(), "DebugUrl_v2", "REG_SZ", mService.BaseUrl());
    }
    ~ClientTest()
    {
        if (mPlatform.Wine()) {
            mPlatform.RegDelete("HKCU\\" + kBase + "\\" + mProduct);
            mPlatform.RegDelete("HKLM\\" + kBase + "\\" + mProduct);
        }
    }

    std::string ProductKey() const { return "HKCU\\" + kBase + "\\" + mProduct; }
    std::string VersionKey() const { return ProductKey() + "\\1.2.3"; }
    std::string MachineVersionKey() const { return "HKLM\\" + kBase + "\\" + mProduct + "\\1.2.3"; }

    std::vector<std::string> Arguments(const std::vector<std::string>& options) const
    {
        std::vector<std::string> args = {"-ProgramName",    mProduct,  "-DisplayName", mProduct,
                                         "-ProgramVersion", "1.2.3",   "-Language",    "1033",
                                         "-InstalledLocation", mPlatform.Wine() ? "C:\\Quarn E2E" : "/opt/quarn-e2e"};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    Environment ClientEnvironment(const Environment& extra = {}) const
    {
        Environment env = mPlatform.ClientEnvironment();
        env.emplace_back("QRNV_WORKER_RECORD", mPlatform.ClientPath(mScratch / "worker.txt"));
        env.emplace_back("QRNV_ADVIEWER_RECORD", mPlatform.ClientPath(mScratch / "adviewer.txt"));
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }

    Outcome RunSilent(const std::vector<std::string>& options, const std::vector<std::string>& extraEnv = {})
    {
        Outcome outcome;
        Environment extra;
        for (const std::string& entry : extraEnv) {
            extra.emplace_back(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
        }
        outcome.status = test::RunProgram(mPlatform.Client(Arguments(options)), ClientEnvironment(extra), mScratch / "client.out");
        outcome.log = Logs();
        return outcome;
    }

    // Every log file written for the product, one after the other.
    std::string Logs() const
    {
        std::string all;
        const fs::path folder = fs::path(mPlatform.TempPath()) / "Quarn Software" / "Quarn Renova";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > mProduct.size() + 5 && name.compare(name.size() - mProduct.size() - 5, std::string::npos,
                                                                   "_" + mProduct + ".log") == 0) {
                all += ReadFileBytes(entry.path().string());
            }
        }
        return all;
    }

    // The product temporary folder ("<product> <major>"), made as the client makes it.
    std::string ProductTempFolder() const
    {
        const fs::path folder = fs::path(mPlatform.TempPath()) / "Quarn Software" / "Quarn Renova" / (mProduct + " 1");
        fs::create_directories(folder);
        for (fs::path p = folder; p != fs::path(mPlatform.TempPath()); p = p.parent_path()) {
            chmod(p.c_str(), 0700);
        }
        return folder.string();
    }

    // The lines a stand-in recorded, without their double quotes.
    // A program the client starts without waiting for it may write its record after the
    // client has ended: the record's lines once there are at least count whole ones, or what
    // is there after the time-out.
    std::vector<std::string> AwaitRecordLines(const std::string& name, std::size_t count) const
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            const std::string text = ReadFileBytes(mScratch / name);
            const auto whole = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
            if (whole >= count || std::chrono::steady_clock::now() >= until) {
                return RecordLines(name);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::vector<std::string> RecordLines(const std::string& name) const
    {
        std::vector<std::string> lines;
        const std::string text = ReadFileBytes(mScratch / name);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
            lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

    Json Entry(const Json& fields) const
    {
        Json entry = fields;
        entry["name"] = mProduct;
        return entry;
    }

    Scratch mScratch;
    Platform mPlatform;
    Service mService;
    std::string mProduct;
};

// ---- Silent runs ---------------------------------------------------------------------------

struct SilentCase {
    const char* name;
    Json product;                 // the product's catalog entry (its name is added)
    Json catalogDefault;          // the default entry, or null
    std::vector<std::string> options;
    std::map<std::string, std::string> presetVersionKey; // HKCU product version key, REG_SZ
    std::map<std::string, std::string> presetProductKey; // HKCU product key, REG_SZ
    bool lastCheckJustNow;
    std::vector<std::string> environment;
    // Expected:
    std::int64_t exitCode;        // as the log's "ExitCode" line says it
    std::vector<int> updateStatuses;
    std::optional<std::uint32_t> updateResult;
    std::string updateResultText; // its first line
    int quickChecks;              // QuickCheck requests the service got
    // Parts the worker's and the ad viewer's command lines contain, without double quotes:
    // the stand-ins record the line re-quoted where needed (POSIX) or as it came (Windows).
    std::vector<std::string> workerLine;
    std::vector<std::string> viewerLine;
    // The worker's code ends the process from the hand-off, which logs it in its own line.
    bool endedByHandOff = false;
};

const Json kNull = Json();

std::vector<SilentCase> SilentCases()
{
    const std::vector<std::string> check = {"-QuickCheck", "-UpdateCheckSilent", "-WriteCheckResultToReg"};
    const std::string updateText = "A more up-to-date program version is available. Would you like to install it now?";
    return {
        {"update: 2", {{"newestVersion", "1.3.0"}}, kNull, check, {}, {}, false, {}, 2, {}, 1, updateText, 1, {}, {}},
        {"update and upgrade: 6", {{"newestVersion", "1.3.0"}, {"majorUpgradeVersion", 2}}, kNull, check, {}, {}, false,
         {}, 6, {}, 1, updateText, 1, {}, {}},
        {"update ignored: 4", {{"newestVersion", "1.3.0"}, {"majorUpgradeVersion", 2}}, kNull, check,
         {{"IgnoreProductVersionUpdate", "1.3.0"}}, {}, false, {}, 4, {}, 1, updateText, 1, {}, {}},
        {"both ignored: 0", {{"newestVersion", "1.3.0"}, {"majorUpgradeVersion", 2}}, kNull, check,
         {{"IgnoreProductVersionUpdate", "1.3.0"}}, {{"IgnoreProductMajorVersionUpgrade", "2"}}, false, {}, 0, {}, 1,
         updateText, 1, {}, {}},
        {"upgrade only: 4", {{"majorUpgradeVersion", 2}}, kNull, check, {}, {}, false, {}, 4, {}, 0,
         "You already have the most recent version.", 1, {}, {}},
        {"no update: 0", {{"newestVersion", "1.2.3"}}, kNull, check, {}, {}, false, {}, 0, {}, {}, "", 1, {}, {}},
        {"check not due: 0", {{"newestVersion", "1.3.0"}}, kNull,
         {"-QuickCheck", "-UpdateCheckSilent", "-UpdateIntervalInHours", "24"}, {}, {}, true, {}, 0, {}, {}, "", 0, {},
         {}},
        {"server error: 1", {{"errorMessage", "Database down"}}, kNull,
         {"-QuickCheck", "-UpdateCheckSilent", "-WriteCheckResultToReg", "-WindowCaption", "Acme Updater"}, {}, {}, false,
         {}, 1, {7}, 0, "Acme Updater has encountered an error. Please contact the support.", 1, {}, {}},
        {"empty answer: 1", {{"fault", {{"kind", "empty-string"}}}}, kNull, check, {}, {}, false, {}, 1, {5}, 0,
         "Server is temporarily unavailable during maintenance.", 1, {}, {}},
        {"no worker: 1", kNull, Json::object(), {"-UpdateSilent"}, {}, {}, false, {}, 1, {7}, {}, "", 1, {}, {}},
        {"silent update hands over: 0", kNull, {{"workerUrl", "{base}/files/QuarnRenovaWorker.exe"}}, {"-UpdateSilent"},
         {}, {}, false, {}, 0, {}, {}, "", 1, {" UpdateSilent ", "-ProgramVersion 1.2.3", "-WindowRec "}, {}, true},
        {"waited-for worker's code", kNull, {{"workerUrl", "{base}/files/QuarnRenovaWorker.exe"}},
         {"-UpdateSilent", "-HideUpdateCheckResult"}, {}, {}, false, {"QRNV_WORKER_EXIT_CODE=7"}, 7, {}, {}, "", 1,
         {" UpdateSilent HideUpdateCheckResult "}, {}, true},
        {"worker says another client runs", kNull, {{"workerUrl", "{base}/files/QuarnRenovaWorker.exe"}},
         {"-UpdateSilent", "-WriteCheckResultToReg"}, {}, {}, false, {"QRNV_WORKER_EXIT_CODE=-1"}, -1, {}, 0,
         "An other instance of the Quarn Renova is still running.", 1, {" WriteCheckResultToReg "}, {}, true},
        {"ad viewer shown: 256", {{"adCampaignId", "42"}, {"adViewerUrl", "{base}/files/QuarnAdViewer.exe"}}, kNull,
         {"-OnlyAdViewer"}, {}, {}, false, {}, 256, {}, {}, "", 1, {}, {"-AdCampaignId 42 -Language 1033", "-MachineGuid "}},
        {"no campaign: 0", {{"adViewerUrl", "{base}/files/QuarnAdViewer.exe"}}, kNull, {"-OnlyAdViewer"}, {}, {}, false, {},
         0, {}, {}, "", 1, {}, {}},
        {"ad viewer not fetched: 257", {{"adCampaignId", "42"}, {"adViewerUrl", "{base}/files/Missing.exe"}}, kNull,
         {"-OnlyAdViewer"}, {}, {}, false, {}, 257, {}, {}, "", 1, {}, {}},
    };
}

class SilentRun : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam() && (Env("QRNV_E2E_WINE_CLIENT").empty() || Env("WINEPREFIX").empty())) {
            GTEST_SKIP() << "the Windows client is tested from the win64 build's tests";
        }
    }
};

TEST_P(SilentRun, EveryModeEndsWithItsCodeReportsAndValues)
{
    for (const SilentCase& c : SilentCases()) {
        SCOPED_TRACE(c.name);
        ClientTest t(GetParam());
        Json catalog = Json::object();
        if (!c.product.is_null()) {
            catalog["products"] = Json::array({t.Entry(c.product)});
        }
        if (!c.catalogDefault.is_null()) {
            catalog["default"] = c.catalogDefault;
        }
        t.mService.SetCatalog(catalog);
        for (const auto& [name, value] : c.presetVersionKey) {
            ASSERT_TRUE(t.mPlatform.RegAdd(t.VersionKey(), name, "REG_SZ", value));
        }
        for (const auto& [name, value] : c.presetProductKey) {
            ASSERT_TRUE(t.mPlatform.RegAdd(t.ProductKey(), name, "REG_SZ", value));
        }
        // A result of an earlier run goes before this one starts.
        ASSERT_TRUE(t.mPlatform.RegAdd(t.ProductKey(), "UpdateResult", "REG_DWORD", "5"));
        if (c.lastCheckJustNow) {
            ASSERT_TRUE(t.mPlatform.RegAdd(t.MachineVersionKey(), "LastUpdateCheck", "REG_SZ",
                                           std::to_string(static_cast<long long>(std::time(nullptr)))));
        }

        const Outcome outcome = t.RunSilent(c.options, c.environment);

        EXPECT_EQ(ExpectedStatus(c.exitCode, GetParam()), outcome.status);
        const std::string line = (c.endedByHandOff ? "exitCodeApplication " : "ExitCode ") + std::to_string(c.exitCode);
        EXPECT_NE(std::string::npos, outcome.log.find(line + "\r\n")) << "no \"" << line << "\" in the log";
        EXPECT_EQ(c.updateStatuses, t.mService.Statuses("ReportUpdateStatus"));
        EXPECT_EQ(static_cast<std::size_t>(c.quickChecks), t.mService.Calls("QuickCheck").size());

        for (const std::string& key : {t.ProductKey(), t.VersionKey()}) {
            const auto values = t.mPlatform.RegQuery(key);
            if (c.updateResult) {
                ASSERT_TRUE(values.count("UpdateResult")) << key;
                EXPECT_EQ("0x" + std::to_string(*c.updateResult), values.at("UpdateResult").data) << key;
                ASSERT_TRUE(values.count("UpdateResultString")) << key;
                EXPECT_EQ(c.updateResultText, values.at("UpdateResultString").data) << key;
            } else {
                EXPECT_FALSE(values.count("UpdateResult")) << key;
                EXPECT_FALSE(values.count("UpdateResultString")) << key;
            }
        }

        const auto worker = c.workerLine.empty() ? t.RecordLines("worker.txt") : t.AwaitRecordLines("worker.txt", 1);
        if (c.workerLine.empty()) {
            EXPECT_TRUE(worker.empty());
        } else {
            ASSERT_EQ(1u, worker.size());
            for (const std::string& part : c.workerLine) {
                EXPECT_NE(std::string::npos, worker[0].find(part)) << part << " not in " << worker[0];
            }
        }
        const auto viewer = c.viewerLine.empty() ? t.RecordLines("adviewer.txt") : t.AwaitRecordLines("adviewer.txt", 1);
        if (c.viewerLine.empty()) {
            EXPECT_TRUE(viewer.empty());
        } else {
            ASSERT_EQ(1u, viewer.size());
            for (const std::string& part : c.viewerLine) {
                EXPECT_NE(std::string::npos, viewer[0].find(part)) << part << " not in " << viewer[0];
            }
        }
    }
}

TEST_P(SilentRun, AFailedCheckIsStampedAndADeadServiceIsMaintenance)
{
    ClientTest t(GetParam());
    // Nobody listens on the port any more: the post fails while the machine is online.
    const int deadPort = t.mService.Port() + 1;
    ASSERT_TRUE(t.mPlatform.RegAdd(t.ProductKey(), "DebugUrl_v2", "REG_SZ",
                                   "http://127.0.0.1:" + std::to_string(deadPort) + "/Renova/"));
    const Outcome outcome = t.RunSilent({"-QuickCheck", "-UpdateCheckSilent", "-WriteCheckResultToReg"});
    EXPECT_EQ(1, outcome.status);
    EXPECT_NE(std::string::npos, outcome.log.find("result != S_OK"));
    const auto values = t.mPlatform.RegQuery(t.VersionKey());
    ASSERT_TRUE(values.count("UpdateResultString"));
    EXPECT_EQ("Server is temporarily unavailable during maintenance.", values.at("UpdateResultString").data);
    const auto machine = t.mPlatform.RegQuery(t.MachineVersionKey());
    ASSERT_TRUE(machine.count("LastUpdateCheck"));
    const long long stamped = std::atoll(machine.at("LastUpdateCheck").data.c_str());
    EXPECT_LE(std::llabs(stamped - static_cast<long long>(std::time(nullptr))), 120);
}

TEST_P(SilentRun, ASilentRunShowsNoWindow)
{
    ClientTest t(GetParam());
    t.mService.SetCatalog({{"products", Json::array({t.Entry({{"newestVersion", "1.3.0"}})})}});
    const Outcome outcome = t.RunSilent({"-QuickCheck", "-UpdateCheckSilent"});
    EXPECT_EQ(2, outcome.status);
    if (!GetParam()) {
        // The console window draws nothing while it is hidden.
        EXPECT_EQ("", ReadFileBytes(t.mScratch / "client.out"));
    }
    EXPECT_EQ(std::string::npos, outcome.log.find("is visible"));
}

INSTANTIATE_TEST_SUITE_P(Native, SilentRun, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Wine, SilentRun, ::testing::Values(true));

// ---- Interactive runs through the console window ----------------------------------------------

// A run of the native client with its console window on pipes.
class Console {
public:
    explicit Console(ClientTest& test) : t(test) {}

    void Start(const std::vector<std::string>& options)
    {
        ASSERT_TRUE(mClient.StartWithPipes(t.mPlatform.Client(t.Arguments(options)), t.ClientEnvironment()));
    }
    bool Expect(const std::string& text, std::chrono::milliseconds limit = 20s)
    {
        const bool found = mClient.ReadUntil(text, limit);
        EXPECT_TRUE(found) << "no \"" << text << "\" in:\n" << mClient.Unread();
        return found;
    }
    void Send(const std::string& line) { mClient.Send(line); }
    int Finish()
    {
        const auto status = mClient.WaitFor(30s);
        EXPECT_TRUE(status.has_value()) << "the client does not end; its output:\n" << mClient.Output();
        return status.value_or(-1);
    }

    ClientTest& t;
    test::ChildProcess mClient;
};

void Offer(ClientTest& t, const Json& fields)
{
    t.mService.SetCatalog({{"products", Json::array({t.Entry(fields)})}});
}

TEST(ConsoleRun, InstallInTheOfferStartsTheWorkerWithTheDialogsPosition)
{
    for (const bool moved : {false, true}) {
        SCOPED_TRACE(moved ? "moved by -WindowRec" : "where it opened");
        ClientTest t(false);
        Offer(t, {{"newestVersion", "1.3.0"}});
        // A worker from an earlier run: a quick check's answer names none.
        fs::copy_file(QRNV_WORKER_PROGRAM, t.ProductTempFolder() + "/QuarnRenovaWorker.exe");
        Console console(t);
        std::vector<std::string> options = {"-QuickCheck"};
        if (moved) {
            options.insert(options.end(), {"-WindowRec", "100 200"});
        }
        console.Start(options);
        ASSERT_TRUE(console.Expect("| Available version: 1.3.0\n"));
        console.Send("click install");
        EXPECT_EQ(0, console.Finish());
        const auto worker = t.AwaitRecordLines("worker.txt", 1);
        ASSERT_EQ(1u, worker.size()) << console.mClient.Output();
        EXPECT_NE(std::string::npos, worker[0].find(moved ? "-WindowRec 100 200" : "-WindowRec 0 0")) << worker[0];
        EXPECT_NE(std::string::npos, worker[0].find(" QuickCheck ")) << worker[0];
        EXPECT_EQ(std::vector<int>{-1}, t.mService.Statuses("ReportUpdateStatus"));
    }
}

TEST(ConsoleRun, InstallWithoutAWorkerShowsTheFailure)
{
    ClientTest t(false);
    Offer(t, {{"newestVersion", "1.3.0"}});
    Console console(t);
    console.Start({"-QuickCheck"});
    ASSERT_TRUE(console.Expect("<- click install"));
    console.Send("click install");
    ASSERT_TRUE(console.Expect("| Update has failed to complete!\n"));
    console.Send("click close");
    EXPECT_EQ(9, console.Finish());
    EXPECT_EQ((std::vector<int>{-1, 1}), t.mService.Statuses("ReportUpdateStatus"));
}

TEST(ConsoleRun, ClosingTheOfferClearsTheIgnoredVersionAndEndsWithTwo)
{
    ClientTest t(false);
    Offer(t, {{"newestVersion", "1.3.0"}});
    ASSERT_TRUE(t.mPlatform.RegAdd(t.VersionKey(), "IgnoreProductVersionUpdate", "REG_SZ", "0.9"));
    Console console(t);
    console.Start({"-QuickCheck"});
    ASSERT_TRUE(console.Expect("| Available version: 1.3.0\n"));
    console.Send("click close");
    ASSERT_TRUE(console.Expect("? Do you really want to end Quarn Renova?\n"));
    console.Send("yes");
    EXPECT_EQ(2, console.Finish());
    const auto values = t.mPlatform.RegQuery(t.VersionKey());
    ASSERT_TRUE(values.count("IgnoreProductVersionUpdate"));
    EXPECT_EQ("", values.at("IgnoreProductVersionUpdate").data);
    EXPECT_TRUE(t.mService.Statuses("ReportUpdateStatus").empty());
}

TEST(ConsoleRun, TheUpgradeOfferRemindsLaterOrIsNotShownAgain)
{
    struct Choice {
        const char* radio;
        int report;
        bool ignored;
    };
    for (const Choice& c : {Choice{"radio remindlater", 3, false}, Choice{"radio dontshowagain", 1, true}}) {
        SCOPED_TRACE(c.radio);
        ClientTest t(false);
        Offer(t, {{"majorUpgradeVersion", 2}});
        Console console(t);
        console.Start({"-QuickCheck"});
        ASSERT_TRUE(console.Expect("| Available version: " + t.mProduct + " - version 2\n"));
        console.Send(c.radio);
        ASSERT_TRUE(console.Expect("<- click continue"));
        console.Send("click continue");
        ASSERT_TRUE(console.Expect("| You already have the most recent version.\n"));
        console.Send("click close");
        EXPECT_EQ(4, console.Finish());
        const auto reports = t.mService.Calls("ReportUpgradeOfferStatus");
        ASSERT_EQ(1u, reports.size());
        const std::string document = reports[0].value("document", "");
        EXPECT_NE(std::string::npos, document.find("<Status>" + std::to_string(c.report) + "</Status>")) << document;
        EXPECT_NE(std::string::npos, document.find("<MajorVersion>2</MajorVersion>")) << document;
        EXPECT_NE(std::string::npos, document.find("<ProgramName>" + t.mProduct + "</ProgramName>")) << document;
        const auto values = t.mPlatform.RegQuery(t.ProductKey());
        EXPECT_EQ(c.ignored, values.count("IgnoreProductMajorVersionUpgrade") == 1);
        if (c.ignored) {
            EXPECT_EQ("2", values.at("IgnoreProductMajorVersionUpgrade").data);
        }
    }
}

TEST(ConsoleRun, InstallingTheUpgradeStartsTheClientAsTheStub)
{
    ClientTest t(false);
    Offer(t, {{"majorUpgradeVersion", 2}});
    Console console(t);
    console.Start({"-QuickCheck"});
    ASSERT_TRUE(console.Expect("<- radio installnow"));
    console.Send("radio installnow");
    ASSERT_TRUE(console.Expect("<- click continue"));
    console.Send("click continue");
    EXPECT_EQ(0, console.Finish());

    // The stub is this program again, titled with the product; it asks the service in
    // normal mode and, with no worker on offer, shows the error and waits in its own window
    // until the input closes.
    ASSERT_TRUE(console.Expect("+-- " + t.mProduct + " "));
    ASSERT_TRUE(console.Expect("| Version 2\n"));
    console.mClient.CloseInput();
    ASSERT_TRUE(console.mClient.ReadToEnd(30s)) << "the stub does not end:\n" << console.mClient.Unread();
    EXPECT_EQ(std::vector<int>{2}, t.mService.Statuses("ReportUpgradeOfferStatus"));
    // 8 from the offer's end, 7 from the stub that found no worker.
    EXPECT_EQ((std::vector<int>{7, 8}), t.mService.Statuses("ReportUpdateStatus"));
    const std::string logs = t.Logs();
    EXPECT_NE(std::string::npos, logs.find("IsStubExe: 1"));
    EXPECT_NE(std::string::npos, logs.find("-IsStubExe -ProgramName \"" + t.mProduct + "\" -DisplayName \"" +
                                           t.mProduct + "\" -Language 1033 -ProgramVersion \"2.0.0\" -ForceUpdate"));
    const auto checks = t.mService.Calls("QuickCheck");
    ASSERT_EQ(2u, checks.size());
    EXPECT_EQ("normal", checks[1].value("mode", ""));
}

TEST(ConsoleRun, ClosingDuringTheCheckAsksFirst)
{
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        ClientTest t(false);
        Offer(t, {{"newestVersion", "1.2.3"}, {"fault", {{"kind", "slow"}, {"delayMs", 3000}, {"methods", {"QuickCheck"}}}}});
        Console console(t);
        console.Start({"-QuickCheck"});
        ASSERT_TRUE(console.Expect("| Connecting to server... \n"));
        const auto asked = std::chrono::steady_clock::now();
        console.Send("close");
        ASSERT_TRUE(console.Expect("? (yes/no)\n"));
        console.Send(yes ? "yes" : "no");
        if (yes) {
            EXPECT_EQ(1, console.Finish());
            // It did not wait for the answer.
            EXPECT_LT(std::chrono::steady_clock::now() - asked, 2900ms);
        } else {
            ASSERT_TRUE(console.Expect("| You already have the most recent version.\n"));
            console.Send("click close");
            EXPECT_EQ(0, console.Finish());
        }
    }
}

} // namespace
} // namespace qrnv::e2e

// The real client against the real stand-in service on loopback: what the client logs,
// what the service's journal saw, and what the registry holds afterwards. Natively, and
// (with --wine-run and --win-bin) the Windows build under Wine.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <regex>
#include <thread>

#include "E2eSupport.h"

namespace qrnv::e2e {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::vector<Json> ServiceCalls(std::vector<Json> entries)
{
    std::vector<Json> calls;
    for (auto& entry : entries) {
        if (entry.contains("serviceMethod")) {
            calls.push_back(std::move(entry));
        }
    }
    return calls;
}

struct Options {
    std::string binFolder; // the native build's programs: qrnv-service, qrnv-reg, the native client
    std::string wineRun;   // set: the Windows build under Wine
    std::string winBin;
};
Options gOptions;

const std::string kSettingsKey = "Software\\Quarn\\Quarn Renova";
const std::string kUpdateEnglish = "A more up-to-date program version is available. Would you like to install it now?\n"
                                   "Please close all programs before starting the installation!";

struct ClientRun {
    std::optional<int> exitCode;
    std::string output;
    std::vector<LogLine> log;
    std::vector<Json> journal; // the service's entries made during the run

    bool Logged(const std::string& level, const std::string& message) const
    {
        return std::any_of(log.begin(), log.end(), [&](const LogLine& l) { return l.level == level && l.message == message; });
    }
    // "UpdateResult %d", the placeholder dialog's line with the check's result.
    std::optional<int> UpdateResult() const
    {
        for (const auto& l : log) {
            if (l.level == "INF" && l.message.rfind("UpdateResult ", 0) == 0) {
                return std::stoi(l.message.substr(13));
            }
        }
        return std::nullopt;
    }
    std::string Describe() const
    {
        std::string text = "exit " + (exitCode ? std::to_string(*exitCode) : std::string("none")) + "\n" + output;
        for (const auto& l : log) {
            text += l.level + " " + l.message + "\n";
        }
        return text;
    }
};

class ClientService : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sScratch = new ScratchFolder();
        if (gOptions.wineRun.empty()) {
            sPlatform = MakeNativePlatform(gOptions.binFolder, sScratch->Utf8()).release();
        } else {
            sPlatform = MakeWinePlatform(gOptions.wineRun, gOptions.winBin).release();
        }
    }
    static void TearDownTestSuite()
    {
        delete sPlatform;
        sPlatform = nullptr;
        delete sScratch;
        sScratch = nullptr;
    }

    void SetUp() override
    {
        if (!sPlatform->Unavailable().empty()) {
            GTEST_SKIP() << "the client cannot run here: " << sPlatform->Unavailable();
        }
        fs::create_directories(mScratch.Utf8() + "/install");
        ASSERT_TRUE(StartService(mService, mScratch.Utf8() + "/service", "127.0.0.1:0", ""));
    }

    void TearDown() override
    {
        for (const std::string& product : mProducts) {
            const std::string folder = sPlatform->TempFolder() + "Quarn Software/Quarn Renova/";
            std::error_code ignored;
            fs::remove_all(folder + product + " 1", ignored);
            for (const std::string& log : LogFiles(product)) {
                fs::remove(log, ignored);
            }
            if (sPlatform->Name() == "wine") {
                sPlatform->RegDeleteKey("HKCU\\" + kSettingsKey + "\\" + product);
                sPlatform->RegDeleteKey("HKLM\\" + kSettingsKey + "\\" + product);
            }
        }
    }

    bool StartService(StandInService& service, const std::string& folder, const std::string& listen,
                      const std::string& tlsListen, int* exitCode = nullptr)
    {
        fs::create_directories(folder + "/files");
        if (!test::CopyFileTo(sPlatform->mWorker, folder + "/files/QuarnRenovaWorker.exe") ||
            !test::CopyFileTo(sPlatform->mAdViewer, folder + "/files/QuarnAdViewer.exe")) {
            ADD_FAILURE() << "the stand-in worker and ad viewer are not built: " << sPlatform->mWorker;
            return false;
        }
        const bool started = service.Start(gOptions.binFolder + "/qrnv-service", folder, listen, tlsListen, exitCode);
        if (!started && (!exitCode || *exitCode != 3)) {
            ADD_FAILURE() << "the service did not start: " << service.Output();
        }
        return started;
    }

    // A product name of this test alone; its keys and files go at the end.
    std::string NewProduct(const std::string& stem)
    {
        static std::atomic<int> counter{0};
        mProducts.push_back("E2E " + stem + " " + std::to_string(getpid()) + "x" + std::to_string(++counter));
        return mProducts.back();
    }

    std::string ProductKey(const std::string& product) const { return "HKCU\\" + kSettingsKey + "\\" + product; }
    // The product's temporary folder as a host path, with its final "/".
    std::string ProductFolder(const std::string& product) const
    {
        return sPlatform->TempFolder() + "Quarn Software/Quarn Renova/" + product + " 1/";
    }
    std::string Location() const { return sPlatform->ClientPath(mScratch.Utf8() + "/install"); }

    std::vector<std::string> LogFiles(const std::string& product) const
    {
        std::vector<std::string> files;
        std::error_code error;
        const std::string suffix = "_" + product + ".log";
        for (const auto& e : fs::directory_iterator(sPlatform->TempFolder() + "Quarn Software/Quarn Renova", error)) {
            const std::string name = e.path().filename().string();
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                files.push_back(e.path().string());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    // Runs the client (or with probe, the hand-off probe) for the product, pointed at the
    // service's "/Renova/" base unless baseUrl says otherwise.
    ClientRun RunClient(const std::string& product, const std::vector<std::string>& extra, const Environment& env = {},
                        const std::string& baseUrl = "", bool probe = false, bool withoutNetwork = false)
    {
        EXPECT_TRUE(sPlatform->RegAddText(ProductKey(product), "DebugUrl_v2", baseUrl.empty() ? mService.Base() + "/Renova/" : baseUrl));
        std::vector<std::string> args = {"-ProgramName", product, "-DisplayName",  product,    "-ProgramVersion", "1.0",
                                         "-InstalledLocation", Location(), "-Language", "1033", "-InstallDate", "20240307"};
        args.insert(args.end(), extra.begin(), extra.end());
        // A quick check that is not silent would wait for a user in its dialog; these runs
        // look at the check, so the dialog ends with its code instead.
        const auto has = [&args](const char* option) { return std::find(args.begin(), args.end(), option) != args.end(); };
        if (!probe && has("-QuickCheck") && !has("-UpdateCheckSilent")) {
            args.push_back("-UpdateCheckSilent");
        }
        const std::size_t before = mService.Count();
        const ProgramResult r = sPlatform->Run(probe ? sPlatform->mProbe : sPlatform->mClient, args, env, withoutNetwork);
        // Only the calls of service methods: the dialog's banner and the hand-off's
        // downloads are fetched beside them.
        std::vector<nlohmann::json> journal = ServiceCalls(mService.Journal(before));
        ClientRun run{r.exitCode, r.output, {}, journal};
        // A Windows program's text output ends its lines with CR LF.
        run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
        for (const std::string& file : LogFiles(product)) {
            const auto lines = ParseLog(ReadFileBytes(file));
            run.log.insert(run.log.end(), lines.begin(), lines.end());
        }
        return run;
    }

    static ClientPlatform* sPlatform;
    static ScratchFolder* sScratch;
    ScratchFolder mScratch;
    StandInService mService;
    std::vector<std::string> mProducts;
};

ClientPlatform* ClientService::sPlatform = nullptr;
ScratchFolder* ClientService::sScratch = nullptr;

TEST_F(ClientService, AQuickCheckGivesEachOfItsResults)
{
    const struct {
        const char* stem;
        Json entry;
        int result;
        int exitCode;
    } cases[] = {
        {"Newer", {{"newestVersion", "2.0"}}, 3, 2},
        {"Both", {{"newestVersion", "1.10"}, {"majorUpgradeVersion", 2}}, 4, 6},
        {"Same", {{"newestVersion", "1.0.0"}}, 1, 0},
        {"Major", {{"newestVersion", "1.0"}, {"majorUpgradeVersion", "2"}}, 16, 4},
    };
    Json catalog = {{"products", Json::array()}};
    std::vector<std::string> names;
    for (const auto& c : cases) {
        names.push_back(NewProduct(c.stem));
        Json entry = c.entry;
        entry["name"] = names.back();
        catalog["products"].push_back(entry);
    }
    ASSERT_TRUE(mService.WriteCatalog(catalog));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        // Silent, so the run ends with the dialog's code for the result instead of a window.
        const ClientRun run = RunClient(names[i], {"-QuickCheck", "-UpdateCheckSilent"});
        EXPECT_EQ(cases[i].exitCode, run.exitCode) << run.Describe();
        EXPECT_EQ(cases[i].result, run.UpdateResult()) << cases[i].stem << "\n" << run.Describe();
        ASSERT_EQ(1u, run.journal.size()) << cases[i].stem;
        EXPECT_EQ("QuickCheck", run.journal[0]["mode"]);
        EXPECT_EQ(names[i], run.journal[0]["product"]);
    }
}

TEST_F(ClientService, OnlyAdViewerGivesBothAdResults)
{
    const std::string campaign = NewProduct("Campaign");
    const std::string none = NewProduct("NoCampaign");
    ASSERT_TRUE(mService.WriteCatalog({{"products",
                                        {{{"name", campaign}, {"adCampaignId", "42"}, {"newestVersion", "2.0"},
                                          {"adViewerUrl", "{base}/files/QuarnAdViewer.exe"}},
                                         {{"name", none}, {"newestVersion", "2.0"}}}}}));
    const ClientRun withCampaign = RunClient(campaign, {"-OnlyAdViewer", "-QuickCheck"});
    EXPECT_EQ(18, withCampaign.UpdateResult()) << withCampaign.Describe();
    EXPECT_TRUE(withCampaign.Logged("INF", "AdCampaignId = 42"));
    ASSERT_EQ(1u, withCampaign.journal.size());
    EXPECT_EQ("OnlyAdViewer", withCampaign.journal[0]["mode"]);

    const ClientRun without = RunClient(none, {"-OnlyAdViewer"});
    EXPECT_EQ(19, without.UpdateResult()) << without.Describe();
}

TEST_F(ClientService, WriteCheckResultToRegLeavesTheResultForTheProduct)
{
    const std::string newer = NewProduct("RegNewer");
    const std::string major = NewProduct("RegMajor");
    const std::string same = NewProduct("RegSame");
    ASSERT_TRUE(mService.WriteCatalog({{"products",
                                        {{{"name", newer}, {"newestVersion", "2.0"}},
                                         {{"name", major}, {"newestVersion", "1.0"}, {"majorUpgradeVersion", 3}},
                                         {{"name", same}, {"newestVersion", "1.0"}}}}}));
    const struct {
        std::string product;
        int result;
        std::optional<std::pair<std::string, std::string>> flag, text;
    } cases[] = {
        {newer, 3, std::pair{"REG_DWORD", "0x1"}, std::pair{"REG_SZ", kUpdateEnglish}},
        {major, 16, std::pair{"REG_DWORD", "0x0"}, std::pair{"REG_SZ", "You already have the most recent version."}},
        {same, 1, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const ClientRun run = RunClient(c.product, {"-QuickCheck", "-WriteCheckResultToReg"});
        EXPECT_EQ(c.result, run.UpdateResult()) << run.Describe();
        for (const std::string& key : {ProductKey(c.product), ProductKey(c.product) + "\\1.0"}) {
            EXPECT_EQ(c.flag, sPlatform->RegQuery(key, "UpdateResult")) << key;
            EXPECT_EQ(c.text, sPlatform->RegQuery(key, "UpdateResultString")) << key;
        }
    }
}

TEST_F(ClientService, TheServiceSeesTheRequestAsTheClientPrintedIt)
{
    const std::string product = NewProduct("Request");
    ASSERT_TRUE(mService.WriteCatalog({{"products", {{{"name", product}, {"newestVersion", "2.0"}}}}}));
    const ClientRun run = RunClient(product, {"-QuickCheck", "-AffiliateId", "H\xc3\xa4ndler & Co"});
    EXPECT_EQ(3, run.UpdateResult()) << run.Describe();
    ASSERT_EQ(1u, run.journal.size()) << run.Describe();
    const Json& entry = run.journal[0];
    EXPECT_EQ("POST", entry["httpMethod"]);
    EXPECT_EQ("/Renova/QRNVWebservice.asmx/QuickCheck", entry["path"]);
    EXPECT_EQ("QuarnRenova", entry["userAgent"]);
    EXPECT_EQ("application/x-www-form-urlencoded", entry["contentType"]);
    EXPECT_EQ("QuickCheckXML", entry["argument"]);
    const std::string body = entry["body"];
    // Encoded twice on the wire: "<" is %253c, a blank %2b, the byte 0xE4 %25e4.
    EXPECT_EQ(0u, body.find("QuickCheckXML=%253cQuickCheck%253e%250a%2b%2b%2b%2b%253cVersion%253e10%252e0%252e29%253c%252fVersion%253e%250a"))
        << body;
    EXPECT_NE(std::string::npos, body.find("%253cAffiliateId%253eH%25e4ndler%2b%2526amp%253b%2bCo%253c%252fAffiliateId%253e"))
        << body;

    // The document line by line; the machine's own facts by their form, and as the log names them.
    std::string mac, guid;
    for (const auto& l : run.log) {
        if (l.message.rfind("Mac: ", 0) == 0) {
            mac = l.message.substr(5);
        } else if (l.message.rfind("MachineGuid: ", 0) == 0) {
            guid = l.message.substr(13);
        }
    }
    const std::string document = entry["document"];
    const std::vector<std::string> expected = {
        "<QuickCheck>",
        "    <Version>10.0.29</Version>",
        mac.empty() ? "    <MAC/>" : "    <MAC>" + mac + "</MAC>",
        "    <RenovaWorkerVersion/>",
        "R    <OsVersion>\\d+\\.\\d+</OsVersion>",
        "R    <OsProductType>(WorkStation|DomainController|Server)</OsProductType>",
        "R    <OsLanguage>\\d+</OsLanguage>",
        "R    <OsArchitecture>(32|64)</OsArchitecture>",
        "    <MachineGuid>" + guid + "</MachineGuid>",
        "R    <CurrentUTCTimeStamp>\\d{4}\\.[ 1]\\d\\.[ 123]\\d [012]\\d:[0-5]\\d:[0-5]\\d:\\d{2,3}</CurrentUTCTimeStamp>",
        "    <ProgramName>" + product + "</ProgramName>",
        "    <ProgramVersionNumber>1.0</ProgramVersionNumber>",
        "    <ProgramLanguage>1033</ProgramLanguage>",
        "    <ProgramInstallDate>20240307</ProgramInstallDate>",
        "    <AffiliateId>H\xc3\xa4ndler &amp; Co</AffiliateId>",
        "    <AdViewerVersion/>",
        "</QuickCheck>",
        "",
    };
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= document.size();) {
        const std::size_t end = std::min(document.find('\n', start), document.size());
        lines.push_back(document.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(expected.size(), lines.size()) << document;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!expected[i].empty() && expected[i][0] == 'R') {
            EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i].substr(1)))) << lines[i];
        } else {
            EXPECT_EQ(expected[i], lines[i]);
        }
    }
    EXPECT_FALSE(guid.empty());
}

TEST_F(ClientService, EveryFaultOfTheServiceMakesTheServerUnavailable)
{
    const struct {
        const char* stem;
        Json fault;
        std::string line; // the error line that tells the failure
    } cases[] = {
        {"Status", {{"kind", "status"}, {"status", 503}}, "/QuickCheck result = 503"},
        {"Empty", {{"kind", "empty"}}, "Length of responseString = 0"},
        {"EmptyString", {{"kind", "empty-string"}}, "Length of responseString = 0"},
        {"NotXml", {{"kind", "not-xml"}}, "Length of responseString = 0"},
        {"ElementFirst", {{"kind", "element-first"}}, "Length of responseString = 0"},
        // Wine's WinINet numbers the receive time-out 12030; Windows and the POSIX transport 12002.
        {"Slow", {{"kind", "slow"}, {"delayMs", 5000}},
         sPlatform->Name() == "wine" ? "/QuickCheck result = 12030" : "/QuickCheck result = 12002"},
        {"CutOff", {{"kind", "close-mid-body"}}, "/QuickCheck result = 12030"},
        {"Oversized", {{"kind", "oversized"}, {"bytes", 9 * 1024 * 1024}}, "/QuickCheck result = 12152"},
    };
    Json catalog = {{"products", Json::array()}};
    std::vector<std::string> names;
    for (const auto& c : cases) {
        names.push_back(NewProduct(c.stem));
        catalog["products"].push_back({{"name", names.back()}, {"newestVersion", "2.0"}, {"fault", c.fault}});
    }
    ASSERT_TRUE(mService.WriteCatalog(catalog));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].stem);
        const ClientRun run = RunClient(names[i], {"-QuickCheck"}, {{"QRNV_HTTP_TIMEOUT_MS", "400"}});
        EXPECT_EQ(9, run.UpdateResult()) << run.Describe();
        EXPECT_TRUE(run.Logged("ERR", cases[i].line)) << run.Describe();
        ASSERT_FALSE(run.journal.empty());
        EXPECT_EQ("fault:" + cases[i].fault["kind"].get<std::string>(), run.journal[0]["outcome"]);
    }
}

TEST_F(ClientService, AnAnswerInCdataIsReadLikeEscapedText)
{
    const std::string product = NewProduct("Cdata");
    ASSERT_TRUE(mService.WriteCatalog(
        {{"products", {{{"name", product}, {"newestVersion", "2.0"}, {"fault", {{"kind", "cdata"}}}}}}}));
    const ClientRun run = RunClient(product, {"-QuickCheck"});
    EXPECT_EQ(3, run.UpdateResult()) << run.Describe();
}

TEST_F(ClientService, ADeadPortMakesTheServerUnavailableWhileOnline)
{
    if (sPlatform->Name() == "native" && !NetworkInterfaceUp()) {
        GTEST_SKIP() << "no network interface but loopback is up: the client would count the machine as offline";
    }
    const std::string product = NewProduct("Dead");
    const std::time_t before = std::time(nullptr);
    const ClientRun run = RunClient(product, {"-QuickCheck"}, {},
                                    "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/Renova/");
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(9, run.UpdateResult()) << run.Describe();
    EXPECT_TRUE(run.Logged("ERR", "/QuickCheck result = 12029")) << run.Describe();
    EXPECT_TRUE(run.Logged("ERR", "result != S_OK"));
    // Online but failed: the check time is stamped.
    const auto stamp = sPlatform->RegQuery("HKLM\\" + kSettingsKey + "\\" + product + "\\1.0", "LastUpdateCheck");
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ("REG_SZ", stamp->first);
    const long long time = std::stoll(stamp->second);
    EXPECT_LE(before, time);
    EXPECT_LE(time, after);
}

TEST_F(ClientService, WithoutANetworkTheResultIsNoInternetConnection)
{
    if (sPlatform->Name() != "native") {
        GTEST_SKIP() << "a network namespace holds only native programs";
    }
    if (RunProgram({"/usr/bin/unshare", "-n", "--", "/bin/true"}, {}).exitCode != 0) {
        GTEST_SKIP() << "unshare -n is not available here: no network namespace with only loopback";
    }
    const std::string product = NewProduct("Offline");
    const ClientRun run = RunClient(product, {"-QuickCheck"}, {}, "", false, true);
    EXPECT_EQ(10, run.UpdateResult()) << run.Describe();
    EXPECT_TRUE(run.Logged("ERR", "result != S_OK"));
    EXPECT_EQ(std::nullopt, sPlatform->RegQuery("HKLM\\" + kSettingsKey + "\\" + product + "\\1.0", "LastUpdateCheck"))
        << "offline: nothing is stamped";
}

TEST_F(ClientService, ACertificateErrorIsFollowedByAPlainPostToTheSameHost)
{
    // Both listeners on the default ports of one loopback address of this test's own.
    const int n = getpid();
    const std::string address = "127." + std::to_string(1 + n % 250) + "." + std::to_string((n / 250) % 250) + ".7";
    StandInService service;
    int exitCode = 0;
    if (!StartService(service, mScratch.Utf8() + "/tls", address + ":80", address + ":443", &exitCode)) {
        if (exitCode == 3) {
            GTEST_SKIP() << "ports 80 and 443 of " << address << " cannot be bound here";
        }
        return;
    }
    const std::string product = NewProduct("Tls");
    ASSERT_TRUE(service.WriteCatalog({{"products", {{{"name", product}, {"newestVersion", "2.0"}}}}}));
    const ClientRun run = RunClient(product, {"-QuickCheck"}, {}, "https://" + address + "/Renova/");
    EXPECT_EQ(3, run.UpdateResult()) << run.Describe();

    std::vector<std::string> results;
    for (const auto& l : run.log) {
        if (l.message.find("/QuickCheck result = ") == 0 || l.message.find("Try to connect without SSL") == 0) {
            results.push_back(l.level + " " + l.message);
        }
    }
    const std::vector<std::string> expected = {
        "ERR /QuickCheck result = 12045",
        "WAR Try to connect without SSL: http://" + address + "/Renova/QRNVWebservice.asmx/QuickCheck",
        "INF /QuickCheck result = 0",
    };
    EXPECT_EQ(expected, results) << run.Describe();
    const auto journal = ServiceCalls(service.Journal());
    ASSERT_EQ(1u, journal.size()) << "the refused handshake reached no service method";
    EXPECT_EQ("http", journal[0]["listener"]);
    EXPECT_EQ("QuickCheck", journal[0]["serviceMethod"]);
}

// The hand-off to the worker, with the probe in place of the dialog.
class WorkerHandOff : public ClientService {
protected:
    void SetUp() override
    {
        ClientService::SetUp();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(mService.WriteCatalog({{"default",
                                            {{"workerUrl", "{base}/files/QuarnRenovaWorker.exe"},
                                             {"adViewerUrl", "{base}/files/QuarnAdViewer.exe"}}}}));
    }
    // The worker's starts: each its arguments, its own path first.
    std::vector<std::vector<std::string>> Starts(const std::string& record, bool waitForOne)
    {
        for (int i = 0; waitForOne && i < 1000 && ReadFileBytes(record).empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::vector<std::vector<std::string>> starts;
        const std::string text = ReadFileBytes(record);
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            starts.push_back(SplitWindowsCommandLine(text.substr(start, end - start)));
            start = end + 1;
        }
        return starts;
    }
    // The Windows C runtime's rules, as the stand-in records by them.
    static std::vector<std::string> SplitWindowsCommandLine(const std::string& line)
    {
        std::vector<std::string> args;
        std::size_t i = 0;
        // The program: up to the closing quote or a blank, without backslash rules.
        std::string program;
        if (i < line.size() && line[i] == '"') {
            const std::size_t close = line.find('"', 1);
            program = line.substr(1, close - 1);
            i = close == std::string::npos ? line.size() : close + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                program.push_back(line[i++]);
            }
        }
        args.push_back(program);
        while (true) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
                ++i;
            }
            if (i >= line.size()) {
                break;
            }
            std::string arg;
            bool quoted = false;
            while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
                std::size_t slashes = 0;
                while (i < line.size() && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < line.size() && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg.push_back('"');
                    } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                        arg.push_back('"');
                        ++i;
                    } else {
                        quoted = !quoted;
                    }
                    ++i;
                } else {
                    arg.append(slashes, '\\');
                    if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
                        arg.push_back(line[i++]);
                    }
                }
            }
            args.push_back(arg);
        }
        return args;
    }
};

TEST_F(WorkerHandOff, TheWorkerIsFetchedAndStartedWithTheRebuiltCommandLine)
{
    const struct {
        const char* stem;
        std::vector<std::string> flags;
        int exitCode;
        bool waits;
    } cases[] = {
        {"Wait", {"-WriteCheckResultToReg"}, 7, true},
        {"Hidden", {"-HideUpdateCheckResult"}, 7, true},
        {"Stub", {"-IsStubExe"}, 7, true},
        {"NoWait", {}, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stem);
        const bool stub = std::string(c.stem) == "Stub";
        const std::string product = NewProduct(c.stem);
        const std::string record = mScratch.Utf8() + "/record-" + c.stem + ".txt";
        const ClientRun run = RunClient(
            product, c.flags, {{"QRNV_WORKER_RECORD", sPlatform->ClientPath(record)}, {"QRNV_WORKER_EXIT_CODE", "7"}}, "", true);
        EXPECT_EQ(c.exitCode, run.exitCode) << run.Describe();
        EXPECT_NE(std::string::npos, run.output.find("Run 5\n")) << run.Describe();
        EXPECT_EQ(c.waits, run.output.find("window hidden 1\n") != std::string::npos) << run.output;
        EXPECT_TRUE(fs::exists(ProductFolder(product) + "QuarnRenovaWorker.exe"));
        EXPECT_TRUE(fs::exists(ProductFolder(product) + "QuarnAdViewer.exe")) << "fetched beside the worker";
        EXPECT_TRUE(run.Logged("INF", "exitCodeApplication " + std::to_string(c.exitCode))) << run.Describe();

        const auto starts = Starts(record, !c.waits);
        ASSERT_EQ(1u, starts.size()) << run.Describe();
        const std::vector<std::string>& args = starts[0];
        EXPECT_EQ(ProductFolder(product) + "QuarnRenovaWorker.exe", sPlatform->HostPath(args[0]));
        // The switch words first, then the product's values and this run's options.
        std::vector<std::string> expected;
        if (stub) {
            expected = {"IsStubExe", "-IsStubExe"};
        } else if (!c.flags.empty()) {
            expected = {c.flags[0].substr(1)};
        }
        expected.insert(expected.end(), {"-ProgramName", product, "-DisplayName", product, "-ProgramVersion", "1.0",
                                         "-InstallDate", "20240307"});
        if (!stub) { // a stub has no installed location
            expected.insert(expected.end(), {"-InstalledLocation", Location() + sPlatform->Separator()});
        }
        expected.insert(expected.end(), {"-Language", "1033", "-WindowRec", "100 200"});
        EXPECT_EQ(expected, std::vector<std::string>(args.begin() + 1, args.end()));
        if (std::string(c.stem) == "Wait") {
            // The text given to the start: the location ends with two backslashes on Windows,
            // so that it arrives with one.
            const std::string tail = sPlatform->Separator() == '\\' ? "\\\\" : "/";
            const std::string line = "WriteCheckResultToReg -ProgramName \"" + product + "\" -DisplayName \"" + product +
                                     "\" -ProgramVersion 1.0 -InstallDate 20240307 -InstalledLocation \"" + Location() +
                                     tail + "\" -Language 1033 -WindowRec \"100 200\" ";
            const char sep = sPlatform->Separator();
            const std::string worker = sPlatform->ClientTempFolder() + "Quarn Software" + sep + "Quarn Renova" + sep + product +
                                       " 1" + sep + "QuarnRenovaWorker.exe";
            const std::string head = "Try start application " + worker + " per UseShellExecute with commandline: ";
            EXPECT_TRUE(run.Logged("INF", head + line)) << head + line << "\n" << run.Describe();
        }
    }
}

TEST_F(WorkerHandOff, AnotherRunningClientIsStoredForTheProduct)
{
    const std::string product = NewProduct("Other");
    const std::string record = mScratch.Utf8() + "/record.txt";
    const ClientRun run = RunClient(product, {"-WriteCheckResultToReg"},
                                    {{"QRNV_WORKER_RECORD", sPlatform->ClientPath(record)}, {"QRNV_WORKER_EXIT_CODE", "-1"}},
                                    "", true);
    // -1 ends this process as well; its 8 bits are what the host sees.
    EXPECT_EQ(255, run.exitCode) << run.Describe();
    EXPECT_TRUE(run.Logged("INF", "exitCodeApplication -1")) << run.Describe();
    EXPECT_EQ(1u, Starts(record, false).size());
    using Value = std::pair<std::string, std::string>;
    for (const std::string& key : {ProductKey(product), ProductKey(product) + "\\1.0"}) {
        EXPECT_EQ(Value("REG_DWORD", "0x0"), sPlatform->RegQuery(key, "UpdateResult")) << key;
        EXPECT_EQ(Value("REG_SZ", "An other instance of the Quarn Renova is still running."),
                  sPlatform->RegQuery(key, "UpdateResultString"))
            << key;
    }
}

TEST_F(WorkerHandOff, WithoutAnAddressTheWorkerOfAnEarlierRunIsStarted)
{
    ASSERT_TRUE(mService.WriteCatalog({{"default", Json::object()}}));
    const std::string product = NewProduct("Earlier");
    fs::create_directories(ProductFolder(product));
    ASSERT_TRUE(test::CopyFileTo(sPlatform->mWorker, ProductFolder(product) + "QuarnRenovaWorker.exe"));
    const std::string record = mScratch.Utf8() + "/record.txt";
    const ClientRun run = RunClient(product, {"-WriteCheckResultToReg"},
                                    {{"QRNV_WORKER_RECORD", sPlatform->ClientPath(record)}, {"QRNV_WORKER_EXIT_CODE", "3"}},
                                    "", true);
    EXPECT_EQ(3, run.exitCode) << run.Describe();
    EXPECT_NE(std::string::npos, run.output.find("Run 6\n")) << run.Describe();
    EXPECT_TRUE(run.Logged("INF", "Use old RenovaWorker."));
    const auto starts = Starts(record, false);
    ASSERT_EQ(1u, starts.size());
    EXPECT_EQ(ProductFolder(product) + "QuarnRenovaWorker.exe", sPlatform->HostPath(starts[0][0]));
}

TEST_F(WorkerHandOff, AWorkerThatCannotBeFetchedIsNotStarted)
{
    ASSERT_TRUE(mService.WriteCatalog({{"default", {{"workerUrl", "{base}/files/QuarnRenovaWorker.exe"}}},
                                       {"files", {{"QuarnRenovaWorker.exe", {{"kind", "status"}, {"status", 404}}}}}}));
    const std::string product = NewProduct("Missing");
    const std::string record = mScratch.Utf8() + "/record.txt";
    const ClientRun run = RunClient(product, {"-WriteCheckResultToReg"}, {{"QRNV_WORKER_RECORD", sPlatform->ClientPath(record)}},
                                    "", true);
    EXPECT_EQ(200 + 14, run.exitCode) << run.Describe();
    EXPECT_NE(std::string::npos, run.output.find("StartWorker 14\n")) << run.output;
    const std::string url = mService.Base() + "/files/QuarnRenovaWorker.exe";
    bool logged = false;
    for (const auto& l : run.log) {
        logged = logged || (l.level == "ERR" && l.message.rfind("Can\xb4t download " + url + " -> ", 0) == 0 &&
                            sPlatform->HostPath(l.message.substr(l.message.find(" -> ") + 4)) ==
                                ProductFolder(product) + "QuarnRenovaWorker.exe");
    }
    EXPECT_TRUE(logged) << run.Describe();
    EXPECT_EQ("", ReadFileBytes(record)) << "nothing was started";
}

} // namespace
} // namespace qrnv::e2e

// Natively: qrnv_e2e_service_tests [gtest options]. For the Windows build under Wine also
// --wine-run <cmake/wine-run> --win-bin <build/win64/bin>.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qrnv::e2e::gOptions.binFolder = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--wine-run") {
            qrnv::e2e::gOptions.wineRun = argv[++i];
        } else if (option == "--win-bin") {
            qrnv::e2e::gOptions.winBin = argv[++i];
        }
    }
    if (qrnv::e2e::gOptions.wineRun.empty() != qrnv::e2e::gOptions.winBin.empty()) {
        std::fprintf(stderr, "--wine-run and --win-bin go together\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}

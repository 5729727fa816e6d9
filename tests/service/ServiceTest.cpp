// The stand-in update service, run as the real program on loopback and asked by a real HTTP
// client that encodes its form body the way the update client does.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <tinyxml2.h>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace qrnv::test {
namespace {

using Json = nlohmann::json;
using Elements = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kFormType = "application/x-www-form-urlencoded";
constexpr const char* kServicePath = "/Renova/QRNVWebservice.asmx";
constexpr const char* kEmptyWrapped = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<string xmlns=\"http://tempuri.org/\" />";

// The client's encoding: letters and digits stay, a blank is "+", everything else "%xx".
std::string UrlEncode(const std::string& text)
{
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            out.push_back(static_cast<char>(c));
        } else if (c == ' ') {
            out.push_back('+');
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02x", c);
            out += hex;
        }
    }
    return out;
}

// The body the client posts: the document encoded once by the call, once more as a form value.
std::string FormBody(const std::string& argument, const std::string& document)
{
    return argument + "=" + UrlEncode(UrlEncode(document));
}

// A document printed like the client prints its requests.
std::string PrintDocument(const std::string& root, const Elements& children)
{
    std::string out = "<" + root + ">\n";
    for (const auto& [name, text] : children) {
        out += text.empty() ? "    <" + name + "/>\n" : "    <" + name + ">" + text + "</" + name + ">\n";
    }
    return out + "</" + root + ">\n";
}

std::string QuickCheckRequest(const std::optional<std::string>& product, const std::string& version, bool onlyAdViewer)
{
    Elements e = {{"Version", "10.0.29"}, {"MAC", "00-16-3E-11-22-33"}, {"RenovaWorkerVersion", ""},
                  {"OsVersion", "6.1"}, {"OsProductType", "WorkStation"}, {"OsLanguage", "1033"},
                  {"OsArchitecture", "64"}, {"MachineGuid", "8f1c2d3e-4b5a-6978-8a9b-0c1d2e3f4a5b"},
                  {"CurrentUTCTimeStamp", "2026. 1. 5 09:03:07:42"}};
    if (product) {
        e.insert(e.end(), {{"ProgramName", *product}, {"ProgramVersionNumber", version}, {"ProgramLanguage", "1031"},
                           {"ProgramInstallDate", "20260105"}, {"AffiliateId", ""}});
    }
    if (onlyAdViewer) {
        e.emplace_back("OnlyAdViewer", "True");
    }
    e.emplace_back("AdViewerVersion", "");
    return PrintDocument("QuickCheck", e);
}

// The text inside the wrapper <string xmlns="http://tempuri.org/">; nothing when the body
// is not such a wrapper with text first.
std::optional<std::string> Unwrap(const std::string& body)
{
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (doc.Parse(body.data(), body.size()) != tinyxml2::XML_SUCCESS || !doc.RootElement()) {
        return std::nullopt;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (std::string(root->Name()) != "string" || root->Attribute("xmlns", "http://tempuri.org/") == nullptr) {
        return std::nullopt;
    }
    if (!root->FirstChild()) {
        return std::string();
    }
    const tinyxml2::XMLText* text = root->FirstChild()->ToText();
    if (!text) {
        return std::nullopt;
    }
    return std::string(text->Value());
}

std::optional<Elements> AnswerElements(const std::string& inner)
{
    tinyxml2::XMLDocument doc;
    if (doc.Parse(inner.data(), inner.size()) != tinyxml2::XML_SUCCESS || !doc.RootElement()
        || std::string(doc.RootElement()->Name()) != "QuickCheckResponse") {
        return std::nullopt;
    }
    Elements out;
    for (auto* e = doc.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
        out.emplace_back(e->Name(), e->GetText() ? e->GetText() : "");
    }
    return out;
}

std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char& c : out) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return out;
}

const char* const kCatalog = R"({
  "default": {"workerUrl": "{base}/files/QuarnRenovaWorker.exe"},
  "products": [
    {"name": "Acme Backup", "newestVersion": "5.2.0", "majorUpgradeVersion": 6,
     "workerUrl": "{base}/files/Acme.exe",
     "adViewerUrl": "{http}/files/QuarnAdViewer.exe", "adCampaignId": "42"},
    {"name": "Withdrawn", "newestVersion": "9", "errorMessage": "Product withdrawn & replaced"},
    {"name": "Odd Answer", "extraElements": {"MajorUpgradeProductVersion": "abc"}},
    {"name": "Fault 500", "newestVersion": "9", "fault": {"kind": "status", "status": 500}},
    {"name": "Fault 404", "fault": {"kind": "status", "status": 404}},
    {"name": "Fault empty", "fault": {"kind": "empty"}},
    {"name": "Fault empty string", "fault": {"kind": "empty-string"}},
    {"name": "Fault not xml", "fault": {"kind": "not-xml"}},
    {"name": "Fault element first", "newestVersion": "9", "fault": {"kind": "element-first"}},
    {"name": "Fault cdata", "newestVersion": "9", "fault": {"kind": "cdata"}},
    {"name": "Fault slow", "fault": {"kind": "slow", "delayMs": 3000}},
    {"name": "Fault close", "newestVersion": "9", "fault": {"kind": "close-mid-body"}},
    {"name": "Fault oversized", "fault": {"kind": "oversized", "bytes": 200000000}},
    {"name": "Fault reports", "newestVersion": "9",
     "fault": {"kind": "status", "status": 503, "methods": ["ReportUpgradeOfferStatus"]}}
  ],
  "files": {"Broken.exe": {"kind": "close-mid-body"}}
})";

// One qrnv-service process with its own folder, catalog, files and journal.
class Service {
public:
    explicit Service(const std::string& catalog, std::vector<std::string> extra = {})
    {
        std::filesystem::create_directory(mDir / "files");
        WriteFileAtomically(mDir / "catalog.json", catalog);
        std::vector<std::string> argv = {QRNV_SERVICE_PROGRAM, "--listen", "127.0.0.1:0", "--catalog",
                                         mDir / "catalog.json", "--files", mDir / "files", "--journal",
                                         mDir / "journal.jsonl", "--port-file", mDir / "ports", "--exit-after", "280"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        if (!mProcess.Start(argv, {}, mDir / "output.txt")) {
            return;
        }
        // Started once the port file is there, or failed once the process ended.
        for (int i = 0; i < 2000 && mProcess.Running(); ++i) {
            std::ifstream ports(mDir / "ports");
            std::string line;
            while (std::getline(ports, line)) {
                if (line.rfind("http=", 0) == 0) {
                    mHttpPort = std::stoi(line.substr(5));
                } else if (line.rfind("https=", 0) == 0) {
                    mHttpsPort = std::stoi(line.substr(6));
                }
            }
            if (mHttpPort > 0) {
                return;
            }
            if (mProcess.WaitFor(std::chrono::milliseconds(10))) {
                return;
            }
        }
    }

    bool Started() const { return mHttpPort > 0; }
    int HttpPort() const { return mHttpPort; }
    int HttpsPort() const { return mHttpsPort; }
    const ScopedFolder& Dir() const { return mDir; }
    std::string Output() const { return ReadFileBytes(mDir / "output.txt"); }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(mHttpPort); }

    httplib::Client Client() const
    {
        httplib::Client c("127.0.0.1", mHttpPort);
        c.set_read_timeout(std::chrono::seconds(20));
        return c;
    }

    std::vector<Json> Journal() const
    {
        std::vector<Json> entries;
        std::ifstream in(mDir / "journal.jsonl");
        std::string line;
        while (std::getline(in, line)) {
            entries.push_back(Json::parse(line));
        }
        return entries;
    }
    Json LastEntry() const
    {
        const auto all = Journal();
        return all.empty() ? Json() : all.back();
    }

    // SIGTERM; the exit status, or nothing when it did not end in time.
    std::optional<int> Stop()
    {
        mProcess.Signal(SIGTERM);
        return mProcess.WaitFor(std::chrono::seconds(15));
    }

private:
    ScopedFolder mDir;
    ChildProcess mProcess;
    int mHttpPort = -1;
    int mHttpsPort = -1;
};

httplib::Result PostQuickCheck(httplib::Client& client, const std::string& document)
{
    return client.Post(std::string(kServicePath) + "/QuickCheck", FormBody("QuickCheckXML", document), kFormType);
}

class ServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gService = new Service(kCatalog, {"--tls-listen", "127.0.0.1:0"});
        ASSERT_TRUE(gService->Started()) << gService->Output();
    }
    static void TearDownTestSuite()
    {
        // Also after a delayed answer that is still waiting: the stop is clean and bounded.
        EXPECT_EQ(gService->Stop(), 0) << gService->Output();
        delete gService;
        gService = nullptr;
    }
    static Service* gService;
};
Service* ServiceTest::gService = nullptr;

TEST_F(ServiceTest, QuickCheckAnswerFollowsTheCatalogAndTheRequestMode)
{
    struct Case {
        const char* what;
        std::optional<std::string> product;
        std::string version;
        bool onlyAdViewer;
        std::string mode;
        Elements answer;
    };
    const std::string base = gService->Base();
    const Case cases[] = {
        {"normal run: the default entry's worker", std::nullopt, "", false, "normal",
         {{"RenovaWorkerUrl", base + "/files/QuarnRenovaWorker.exe"}}},
        {"older version", "Acme Backup", "5.1.9", false, "QuickCheck",
         {{"MaxUpdateableProductVersionExistingOnServer", "5.2.0"}, {"MajorUpgradeProductVersion", "6"}}},
        {"same version with fewer parts", "Acme Backup", "5.2", false, "QuickCheck",
         {{"MajorUpgradeProductVersion", "6"}}},
        {"5.10 is newer than 5.2", "Acme Backup", "5.10.0", false, "QuickCheck", {{"MajorUpgradeProductVersion", "6"}}},
        {"already on the upgrade's major", "Acme Backup", "6.0.1", false, "QuickCheck", {}},
        {"ad viewer only", "Acme Backup", "5.1.9", true, "OnlyAdViewer",
         {{"AdViewerUrl", base + "/files/QuarnAdViewer.exe"}, {"AdCampaignId", "42"}}},
        {"error message first", "Withdrawn", "1.0", false, "QuickCheck",
         {{"ErrorMessage", "Product withdrawn & replaced"}, {"MaxUpdateableProductVersionExistingOnServer", "9"}}},
        {"unknown product falls back to the default entry", "Nobody", "1.0", false, "QuickCheck", {}},
        {"extra elements", "Odd Answer", "1.0", false, "QuickCheck", {{"MajorUpgradeProductVersion", "abc"}}},
    };
    auto client = gService->Client();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto res = PostQuickCheck(client, QuickCheckRequest(c.product, c.version, c.onlyAdViewer));
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/xml; charset=utf-8");
        const auto inner = Unwrap(res->body);
        ASSERT_TRUE(inner) << res->body;
        EXPECT_EQ(AnswerElements(*inner), c.answer) << *inner;

        const Json entry = gService->LastEntry();
        EXPECT_EQ(entry["mode"], c.mode);
        EXPECT_EQ(entry["answer"], *inner);
        EXPECT_EQ(entry["outcome"], "answered");
    }
}

TEST_F(ServiceTest, ReportsAreJournaledAsTheClientPrintedThemAndAnsweredEmpty)
{
    // Blanks, "+", "%", entities and a Latin-1 byte: each survives both encodings.
    const std::string update = PrintDocument(
        "UpdateStatus", {{"Version", "10.0.29"}, {"MAC", ""}, {"MachineGuid", "a+b%20c"}, {"IsStub", "0"},
                         {"Status", "-1"}, {"UpdateId", ""}});
    const std::string offer = PrintDocument(
        "UpgradeOfferStatus", {{"Version", "10.0.29"}, {"MAC", "00-16-3E-11-22-33"}, {"MachineGuid", "g"},
                               {"ProgramName", "Acme B\xE4ro &amp; &lt;Co&gt;"}, {"ProgramVersionNumber", "5.1.2"},
                               {"MajorVersion", ""}, {"Status", "2"}});
    const std::string offerUtf8 = PrintDocument(
        "UpgradeOfferStatus", {{"Version", "10.0.29"}, {"MAC", "00-16-3E-11-22-33"}, {"MachineGuid", "g"},
                               {"ProgramName", "Acme B\xC3\xA4ro &amp; &lt;Co&gt;"}, {"ProgramVersionNumber", "5.1.2"},
                               {"MajorVersion", ""}, {"Status", "2"}});
    struct Case {
        const char* method;
        const char* argument;
        std::string document;
        std::string journaled;
    };
    const Case cases[] = {
        {"ReportUpdateStatus", "UpdateStatusXML", update, update},
        {"ReportUpgradeOfferStatus", "UpgradeOfferStatusXML", offer, offerUtf8},
    };
    auto client = gService->Client();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        const std::string body = FormBody(c.argument, c.document);
        const auto res = client.Post(std::string(kServicePath) + "/" + c.method, body, kFormType);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->body, kEmptyWrapped);

        const Json entry = gService->LastEntry();
        EXPECT_EQ(entry["serviceMethod"], c.method);
        EXPECT_EQ(entry["argument"], c.argument);
        EXPECT_EQ(entry["document"], c.journaled);
        EXPECT_EQ(entry["body"], body);
        EXPECT_EQ(entry["path"], std::string(kServicePath) + "/" + c.method);
        EXPECT_EQ(entry["httpMethod"], "POST");
        EXPECT_EQ(entry["contentType"], kFormType);
    }
}

TEST_F(ServiceTest, RequestsItCannotReadGetAnErrorStatus)
{
    struct Case {
        const char* what;
        std::string path;
        std::string body;
        int status;
        const char* outcome;
    };
    const std::string qc = std::string(kServicePath) + "/QuickCheck";
    const Case cases[] = {
        {"no form argument", qc, "Other=1", 500, "missing-argument"},
        {"document not XML", qc, FormBody("QuickCheckXML", "<QuickCheck><Version>"), 500, "document-not-xml"},
        {"another method's document", qc, FormBody("QuickCheckXML", PrintDocument("UpdateStatus", {})), 500,
         "wrong-root"},
        {"unknown method", std::string(kServicePath) + "/Restart", FormBody("QuickCheckXML", "<QuickCheck/>"), 404,
         "unknown-method"},
        {"service file glued to the base", "/RenovaQRNVWebservice.asmx/QuickCheck",
         FormBody("QuickCheckXML", QuickCheckRequest(std::nullopt, "", false)), 404, "not-found"},
    };
    auto client = gService->Client();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto res = client.Post(c.path, c.body, kFormType);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status);
        EXPECT_EQ(gService->LastEntry()["outcome"], c.outcome);
        EXPECT_EQ(gService->LastEntry()["path"], c.path);
    }
}

TEST_F(ServiceTest, AnyBasePathReachesTheService)
{
    auto client = gService->Client();
    const auto res = client.Post("/QRNVWebservice.asmx/QuickCheck",
                                 FormBody("QuickCheckXML", QuickCheckRequest("Acme Backup", "6.0", false)), kFormType);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(Unwrap(res->body), "<QuickCheckResponse/>\n");
}

TEST_F(ServiceTest, ServesFilesWithTheirLengthAndJournalsTheGets)
{
    const std::string worker = RandomBytes(300000, 1);
    const std::string banner = RandomBytes(5000, 2);
    ASSERT_TRUE(WriteFileAtomically(gService->Dir() / "files/QuarnRenovaWorker.exe", worker));
    ASSERT_TRUE(WriteFileAtomically(gService->Dir() / "files/Banner_Acme_Backup_5_5.bmp", banner));
    struct Case {
        std::string path;
        int status;
        const std::string* content;
    };
    const Case cases[] = {
        {"/files/QuarnRenovaWorker.exe", 200, &worker},
        {"/Renova//Banner/Banner_Acme_Backup_5_5.bmp", 200, &banner},
        {"/files/QuarnAdViewer.exe", 404, nullptr},
        {"/files/..%2Fcatalog.json", 404, nullptr},
        {"/files/.hidden", 404, nullptr},
    };
    auto client = gService->Client();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto res = client.Get(c.path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status);
        const Json entry = gService->LastEntry();
        EXPECT_EQ(entry["httpMethod"], "GET");
        EXPECT_EQ(entry["path"], c.path);
        EXPECT_EQ(entry["status"], c.status);
        if (c.content) {
            EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(c.content->size()));
            EXPECT_TRUE(res->body == *c.content);
            EXPECT_EQ(entry["bytes"], c.content->size());
        }
    }
}

TEST_F(ServiceTest, FaultsOfTheAnswerAreSeenByTheClient)
{
    // The normal answer for a product whose newest version is 9.
    const std::string newer = "<QuickCheckResponse>\n    <MaxUpdateableProductVersionExistingOnServer>9"
                              "</MaxUpdateableProductVersionExistingOnServer>\n</QuickCheckResponse>\n";
    struct Case {
        const char* product;
        int status;
        std::function<void(const std::string& body)> check;
    };
    const Case cases[] = {
        {"Fault 500", 500, [](const std::string& body) { EXPECT_FALSE(Unwrap(body)); }},
        {"Fault 404", 404, [](const std::string& body) { EXPECT_FALSE(Unwrap(body)); }},
        {"Fault empty", 200, [](const std::string& body) { EXPECT_EQ(body, ""); }},
        {"Fault empty string", 200, [](const std::string& body) { EXPECT_EQ(Unwrap(body), ""); }},
        {"Fault not xml", 200,
         [](const std::string& body) {
             tinyxml2::XMLDocument doc;
             EXPECT_NE(doc.Parse(body.data(), body.size()), tinyxml2::XML_SUCCESS) << body;
         }},
        {"Fault element first", 200,
         [](const std::string& body) {
             tinyxml2::XMLDocument doc;
             ASSERT_EQ(doc.Parse(body.data(), body.size()), tinyxml2::XML_SUCCESS) << body;
             const auto* first = doc.RootElement()->FirstChild();
             ASSERT_NE(first, nullptr);
             ASSERT_NE(first->ToElement(), nullptr) << body;
             EXPECT_STREQ(first->ToElement()->Name(), "QuickCheckResponse");
         }},
        {"Fault cdata", 200,
         [&newer](const std::string& body) {
             tinyxml2::XMLDocument doc;
             ASSERT_EQ(doc.Parse(body.data(), body.size()), tinyxml2::XML_SUCCESS) << body;
             const auto* text = doc.RootElement()->FirstChild()->ToText();
             ASSERT_NE(text, nullptr);
             EXPECT_TRUE(text->CData());
             EXPECT_EQ(text->Value(), newer);
         }},
    };
    auto client = gService->Client();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        const auto res = PostQuickCheck(client, QuickCheckRequest(c.product, "1.0", false));
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, c.status);
        c.check(res->body);
        EXPECT_EQ(gService->LastEntry()["product"], c.product);
        EXPECT_EQ(gService->LastEntry()["outcome"].get<std::string>().rfind("fault:", 0), 0u);
    }
}

TEST_F(ServiceTest, ASlowAnswerOutlastsTheClientsTimeOut)
{
    httplib::Client client("127.0.0.1", gService->HttpPort());
    client.set_read_timeout(std::chrono::seconds(1));
    const auto res = PostQuickCheck(client, QuickCheckRequest("Fault slow", "1.0", false));
    EXPECT_FALSE(res);
    EXPECT_EQ(res.error(), httplib::Error::Read);
    EXPECT_EQ(gService->LastEntry()["outcome"], "fault:slow");
    EXPECT_EQ(gService->LastEntry()["delayMs"], 3000);
}

// Posts and reads at most `limit` bytes of the body; the announced length and what came.
struct PartialRead {
    httplib::Error error = httplib::Error::Unknown;
    int status = 0;
    std::string contentLength;
    std::string received;
};

PartialRead PostAndReadAtMost(httplib::Client& client, const std::string& path, const std::string& body,
                              std::size_t limit)
{
    PartialRead out;
    httplib::Request req;
    req.method = "POST";
    req.path = path;
    req.body = body;
    req.set_header("Content-Type", kFormType);
    req.response_handler = [&](const httplib::Response& r) {
        out.status = r.status;
        out.contentLength = r.get_header_value("Content-Length");
        return true;
    };
    req.content_receiver = [&](const char* data, std::size_t n, uint64_t, uint64_t) {
        out.received.append(data, std::min(n, limit - out.received.size()));
        return out.received.size() < limit;
    };
    httplib::Response res;
    client.send(req, res, out.error);
    return out;
}

TEST_F(ServiceTest, AnAnswerCutOffMidBodyIsShorterThanAnnounced)
{
    auto client = gService->Client();
    const PartialRead r = PostAndReadAtMost(client, std::string(kServicePath) + "/QuickCheck",
                                            FormBody("QuickCheckXML", QuickCheckRequest("Fault close", "1.0", false)),
                                            1 << 20);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.error, httplib::Error::Read);
    ASSERT_FALSE(r.contentLength.empty());
    EXPECT_GT(r.received.size(), 0u);
    EXPECT_LT(r.received.size(), std::stoul(r.contentLength));
    EXPECT_EQ(r.received.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u);
}

TEST_F(ServiceTest, AnOversizedAnswerIsStreamedAndCanBeAbandoned)
{
    auto client = gService->Client();
    const PartialRead r = PostAndReadAtMost(
        client, std::string(kServicePath) + "/QuickCheck",
        FormBody("QuickCheckXML", QuickCheckRequest("Fault oversized", "1.0", false)), 1 << 20);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.error, httplib::Error::Canceled);
    EXPECT_EQ(r.contentLength, "200000000");
    EXPECT_EQ(r.received.size(), 1u << 20);
    EXPECT_EQ(r.received.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<string xmlns=\"http://tempuri.org/\">", 0),
              0u);

    // The service goes on answering.
    const auto next = PostQuickCheck(client, QuickCheckRequest("Acme Backup", "6.0", false));
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, 200);
}

TEST_F(ServiceTest, AFileCutOffMidBodyIsShorterThanAnnounced)
{
    const std::string content = RandomBytes(200000, 3);
    ASSERT_TRUE(WriteFileAtomically(gService->Dir() / "files/Broken.exe", content));
    auto client = gService->Client();
    PartialRead r;
    client.Get(
        "/files/Broken.exe",
        [&](const httplib::Response& res) {
            r.status = res.status;
            r.contentLength = res.get_header_value("Content-Length");
            return true;
        },
        [&](const char* data, std::size_t n) {
            r.received.append(data, n);
            return true;
        });
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentLength, std::to_string(content.size()));
    EXPECT_EQ(r.received, content.substr(0, content.size() / 2));
    EXPECT_EQ(gService->LastEntry()["outcome"], "fault:close-mid-body");
}

TEST_F(ServiceTest, AFaultHitsOnlyTheMethodsItNames)
{
    auto client = gService->Client();
    const auto check = PostQuickCheck(client, QuickCheckRequest("Fault reports", "1.0", false));
    ASSERT_TRUE(check);
    EXPECT_EQ(check->status, 200);
    const auto report = client.Post(std::string(kServicePath) + "/ReportUpgradeOfferStatus",
                                    FormBody("UpgradeOfferStatusXML",
                                             PrintDocument("UpgradeOfferStatus", {{"ProgramName", "Fault reports"}})),
                                    kFormType);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->status, 503);
}

TEST_F(ServiceTest, TheTlsEndpointPresentsACertificateNoClientTrusts)
{
    ASSERT_GT(gService->HttpsPort(), 0);
    const std::string document = QuickCheckRequest(std::nullopt, "", false);
    {
        httplib::SSLClient verifying("127.0.0.1", gService->HttpsPort());
        verifying.enable_server_certificate_verification(true);
        verifying.set_ca_cert_path("/etc/ssl/certs/ca-certificates.crt");
        const auto res = verifying.Post(std::string(kServicePath) + "/QuickCheck", FormBody("QuickCheckXML", document),
                                        kFormType);
        EXPECT_FALSE(res);
        EXPECT_EQ(res.error(), httplib::Error::SSLServerVerification);
    }
    httplib::SSLClient trusting("127.0.0.1", gService->HttpsPort());
    trusting.enable_server_certificate_verification(false);
    const auto res = trusting.Post(std::string(kServicePath) + "/QuickCheck", FormBody("QuickCheckXML", document),
                                   kFormType);
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    // {base} is the address of the listener that answered.
    const Elements expected = {
        {"RenovaWorkerUrl", "https://127.0.0.1:" + std::to_string(gService->HttpsPort()) + "/files/QuarnRenovaWorker.exe"}};
    EXPECT_EQ(AnswerElements(Unwrap(res->body).value_or("")), expected);
    EXPECT_EQ(gService->LastEntry()["listener"], "https");
}

TEST(ServiceAlone, ReadsTheCatalogAgainForEveryRequest)
{
    Service service(R"({"products": [{"name": "P", "newestVersion": "2.0"}]})");
    ASSERT_TRUE(service.Started()) << service.Output();
    auto client = service.Client();
    const std::string request = QuickCheckRequest("P", "1.0", false);
    const auto answerOf = [&]() -> std::optional<Elements> {
        const auto res = PostQuickCheck(client, request);
        if (!res || res->status != 200) {
            return std::nullopt;
        }
        return AnswerElements(Unwrap(res->body).value_or(""));
    };
    EXPECT_EQ(answerOf(), (Elements{{"MaxUpdateableProductVersionExistingOnServer", "2.0"}}));

    ASSERT_TRUE(WriteFileAtomically(service.Dir() / "catalog.json",
                                    R"({"products": [{"name": "P", "newestVersion": "3.1"}]})"));
    EXPECT_EQ(answerOf(), (Elements{{"MaxUpdateableProductVersionExistingOnServer", "3.1"}}));

    // A broken catalog is an error answer that says so, not a crash or an old answer.
    ASSERT_TRUE(WriteFileAtomically(service.Dir() / "catalog.json", R"({"products": [{"name": )"));
    const auto broken = PostQuickCheck(client, request);
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->status, 500);
    EXPECT_EQ(service.LastEntry()["outcome"].get<std::string>().rfind("catalog-error", 0), 0u);

    ASSERT_TRUE(WriteFileAtomically(service.Dir() / "catalog.json", R"({"products": [{"name": "P"}]})"));
    EXPECT_EQ(answerOf(), Elements{});
    EXPECT_EQ(service.Stop(), 0);
}

TEST(ServiceAlone, TheFaultOptionHitsEveryMethod)
{
    Service service("{}", {"--fault", "status:503"});
    ASSERT_TRUE(service.Started()) << service.Output();
    auto client = service.Client();
    const auto check = PostQuickCheck(client, QuickCheckRequest(std::nullopt, "", false));
    const auto report = client.Post(std::string(kServicePath) + "/ReportUpdateStatus",
                                    FormBody("UpdateStatusXML", PrintDocument("UpdateStatus", {{"Status", "7"}})),
                                    kFormType);
    ASSERT_TRUE(check);
    ASSERT_TRUE(report);
    EXPECT_EQ(check->status, 503);
    EXPECT_EQ(report->status, 503);
    EXPECT_EQ(service.Stop(), 0);
}

TEST(ServiceAlone, RefusesAddressesBeyondLoopbackAndBadSettings)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--listen", "0.0.0.0:0"}, "not a loopback address"},
        {{"--listen", "192.168.1.10:0"}, "not a loopback address"},
        {{"--listen", "localhost:0"}, "not a loopback address"},
        {{"--tls-listen", "[::]:0"}, "not a loopback address"},
        {{"--listen", "127.0.0.1:70000"}, "not a port number"},
        {{"--listen", "127.0.0.1"}, "not ADDRESS:PORT"},
        {{}, "give --listen"},
        {{"--listen", "127.0.0.1:0", "--fault", "slow:99999999"}, "delayMs"},
        {{"--listen", "127.0.0.1:0", "--fault", "explode"}, "unknown fault kind"},
        {{"--listen", "127.0.0.1:0", "--catalog", "/nonexistent/catalog.json"}, "cannot open catalog"},
    };
    for (const Case& c : cases) {
        ScopedFolder dir;
        std::vector<std::string> argv = {QRNV_SERVICE_PROGRAM};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.message);
        EXPECT_EQ(RunProgram(argv, {}, dir / "out.txt"), 2);
        EXPECT_NE(ReadFileBytes(dir / "out.txt").find(c.message), std::string::npos) << ReadFileBytes(dir / "out.txt");
    }
}

TEST(ServiceAlone, CatalogMistakesAreNamedAtStart)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"({"products": [{"name": "P", "newestVersoin": "1"}]})", "unknown key \"newestVersoin\""},
        {R"({"products": [{"name": "P"}, {"name": "P"}]})", "listed twice"},
        {R"({"files": {"A.exe": {"kind": "not-xml"}}})", "a file fault is"},
        {R"({"fault": {"kind": "status", "status": 200}})", "201..599"},
    };
    for (const auto& [catalog, message] : cases) {
        SCOPED_TRACE(message);
        ScopedFolder dir;
        ASSERT_TRUE(WriteFileAtomically(dir / "catalog.json", catalog));
        EXPECT_EQ(RunProgram({QRNV_SERVICE_PROGRAM, "--listen", "127.0.0.1:0", "--catalog", dir / "catalog.json"}, {},
                             dir / "out.txt"),
                  2);
        EXPECT_NE(ReadFileBytes(dir / "out.txt").find(message), std::string::npos) << ReadFileBytes(dir / "out.txt");
    }
}

TEST(ServiceAlone, ListensOnAnotherLoopbackAddress)
{
    Service service("{}", {"--listen", "127.0.0.2:0"});
    ASSERT_TRUE(service.Started()) << service.Output();
    httplib::Client client("127.0.0.2", service.HttpPort());
    const auto res = PostQuickCheck(client, QuickCheckRequest(std::nullopt, "", false));
    ASSERT_TRUE(res);
    EXPECT_EQ(Unwrap(res->body), "<QuickCheckResponse/>\n");
    EXPECT_EQ(service.Stop(), 0);
}

} // namespace
} // namespace qrnv::test

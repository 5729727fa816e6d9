#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <mutex>

#include "Client/service/WebService.h"
#include "Client/system/InternetErrors.h"
#include "ServiceFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/LoopbackServer.h"

namespace qrnv {
namespace {

TEST(PrintServiceDocument, IndentedWithoutDeclarationAndWithEntities)
{
    tinyxml2::XMLDocument doc;
    auto* root = doc.NewElement("Root");
    doc.InsertEndChild(root);
    root->InsertEndChild(doc.NewElement("Text"))->ToElement()->SetText("a&b<c>d \"q\" '\xe4'");
    auto* nested = root->InsertEndChild(doc.NewElement("Nested"))->ToElement();
    nested->InsertEndChild(doc.NewElement("Inner"))->ToElement()->SetText("1");
    root->InsertEndChild(doc.NewElement("Missing"));
    root->InsertEndChild(doc.NewElement("EmptyText"))->ToElement()->SetText("");

    EXPECT_EQ(L"<Root>\n"
              L"    <Text>a&amp;b&lt;c&gt;d \"q\" '\u00e4'</Text>\n"
              L"    <Nested>\n"
              L"        <Inner>1</Inner>\n"
              L"    </Nested>\n"
              L"    <Missing/>\n"
              L"    <EmptyText></EmptyText>\n"
              L"</Root>\n",
              PrintServiceDocument(doc));
}

TEST(UnwrapServiceAnswer, TakesTheRootsFirstTextOrNothing)
{
    std::wstring deep = L"<string>";
    for (int i = 0; i < 20000; ++i) {
        deep += L"<a>";
    }
    const struct {
        std::wstring response;
        std::string inner;
    } cases[] = {
        {L"<string xmlns=\"http://tempuri.org/\">&lt;R&gt;&lt;A&gt;1 &amp; 2&lt;/A&gt;&lt;/R&gt;</string>", "<R><A>1 & 2</A></R>"},
        {L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<x:any xmlns:x=\"urn:x\">  text </x:any>", "  text "},
        {L"<string><![CDATA[<R><A>1 &amp; 2</A></R>]]></string>", "<R><A>1 &amp; 2</A></R>"},
        {L"<string><R><A>1</A></R></string>", ""},          // an element first
        {L"<string><!-- c -->text</string>", ""},           // a comment first
        {L"<string/>", ""},
        {L"<string></string>", ""},
        {L"", ""},
        {L"not xml at all", ""},
        {L"<?xml version=\"1.0\"?>", ""},                    // no root
        {L"<string>unclosed", ""},
        {L"<string>&#x41;&#66;&amp;</string>", "AB&"},
        {deep, ""},
        {deep + L"</a>", ""},
    };
    for (const auto& c : cases) {
        const std::string inner = UnwrapServiceAnswer(c.response);
        EXPECT_EQ(c.inner, inner) << std::string(c.response.begin(), c.response.begin() + std::min<std::size_t>(60, c.response.size()));
    }
}

// The XML library writes a wrong byte for a "&" that begins no reference once it decoded an
// earlier one ("&lt;a & b" became "<a ; b"): such an answer is no XML.
TEST(UnwrapServiceAnswer, AnAmpersandThatBeginsNoReferenceMakesItNoXml)
{
    const struct {
        std::wstring response;
        std::string inner;
    } cases[] = {
        {L"<string>&lt;a &amp; b</string>", "<a & b"},
        {L"<string>&lt;a & b</string>", ""},
        {L"<string>&lt;&amp</string>", ""},
        {L"<string>&lt;&unknown;</string>", ""},
        {L"<string>&#0;x</string>", ""},
        {L"<string>&#x110000;</string>", ""},
        {L"<string>&#;</string>", ""},
        {L"<string>&#x10FFFF;&#X41;</string>", ""},
        {L"<string>&#x41;&quot;&apos;</string>", "A\"'"},
        {L"<string><![CDATA[a & b &c;]]></string>", "a & b &c;"},
        {L"<?xml version=\"1.0\" encoding=\"x&y\"?><string a=\"&amp;\"><!-- & -->&gt;</string>", ""},
        {L"<?xml version=\"1.0\"?><string a=\"&lt;\">&gt;<!-- & --></string>", ">"},
        {L"<string a=\"&lt;&x;\">text</string>", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.inner, UnwrapServiceAnswer(c.response)) << std::string(c.response.begin(), c.response.end());
    }
}

// Entities declared by the answer itself are never expanded, so an answer cannot make
// itself larger than it was sent.
TEST(UnwrapServiceAnswer, ExpandsNoDocumentTypeEntities)
{
    std::wstring response = L"<!DOCTYPE s [<!ENTITY a \"";
    response += std::wstring(1000, L'a');
    response += L"\">]><s>";
    for (int i = 0; i < 1000; ++i) {
        response += L"&a;";
    }
    response += L"</s>";
    std::string references;
    for (int i = 0; i < 1000; ++i) {
        references += "&a;";
    }
    const std::string inner = UnwrapServiceAnswer(response);
    EXPECT_TRUE(inner.empty() || inner == references) << inner.substr(0, 80);
}

class WebServiceTest : public test::ServiceFixture {
protected:
    void SetUp() override
    {
        auto& s = mServer.Server();
        s.Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mLock);
            mPaths.push_back(req.path);
            mBody = req.body;
            if (req.path.find("/QRNVWebservice.asmx/") == std::string::npos) {
                res.status = 404;
                return;
            }
            res.set_content("<string>answer</string>", "text/xml");
        });
        ASSERT_NE(0, mServer.Start());
    }
    std::vector<std::string> Paths()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mPaths;
    }
    static tinyxml2::XMLDocument& Document(tinyxml2::XMLDocument& doc)
    {
        auto* root = doc.NewElement("QuickCheck");
        doc.InsertEndChild(root);
        root->InsertEndChild(doc.NewElement("A"))->ToElement()->SetText("x y<\xe4");
        return doc;
    }

    std::mutex mLock;
    std::vector<std::string> mPaths;
    std::string mBody;
    // After the state its handlers use: the server stops before that state is destroyed.
    test::LoopbackServer mServer;
};

TEST_F(WebServiceTest, PostsTheDocumentEncodedTwiceToTheMethodBelowTheDebugUrl)
{
    SetDebugUrl(mServer.BaseUrl() + L"Renova/");
    tinyxml2::XMLDocument doc;
    std::wstring response;
    const test::LogCapture log;
    EXPECT_EQ(0u, PostXmlToService(kQuickCheckArgument, Document(doc), kQuickCheckMethod, response));
    EXPECT_EQ(L"<string>answer</string>", response);
    EXPECT_EQ(std::vector<std::string>{"/Renova/QRNVWebservice.asmx/QuickCheck"}, Paths());
    // "<QuickCheck>\n    <A>x y&lt;ä</A>\n</QuickCheck>\n" encoded, then encoded again.
    EXPECT_EQ("QuickCheckXML=%253cQuickCheck%253e%250a%2b%2b%2b%2b%253cA%253ex%2by%2526lt%253b%25e4%253c%252fA%253e%250a"
              "%253c%252fQuickCheck%253e%250a",
              mBody);
    const std::wstring url = mServer.BaseUrl() + L"Renova/QRNVWebservice.asmx/QuickCheck";
    // The log line ends where the document's last line feed is.
    EXPECT_TRUE(log.Contains(L"INF", L"<QuickCheck>\n    <A>x y&lt;\u00e4</A>\n</QuickCheck>"));
    EXPECT_TRUE(log.Contains(L"INF", L"url to Webserver: " + url));
    EXPECT_TRUE(log.Contains(L"INF", L"/QuickCheck result = 0"));
}

TEST_F(WebServiceTest, ABaseWithoutItsFinalSlashGluesTheFileToTheLastSegmentAndIsNotRetried)
{
    SetDebugUrl(mServer.BaseUrl() + L"Renova");
    tinyxml2::XMLDocument doc;
    std::wstring response = L"untouched";
    const test::LogCapture log;
    EXPECT_EQ(404u, PostXmlToService(kQuickCheckArgument, Document(doc), kQuickCheckMethod, response));
    EXPECT_EQ(L"untouched", response);
    EXPECT_EQ(std::vector<std::string>{"/RenovaQRNVWebservice.asmx/QuickCheck"}, Paths());
    EXPECT_TRUE(log.Contains(L"ERR", L"/QuickCheck result = 404"));
}

TEST_F(WebServiceTest, APlainAddressThatCannotConnectIsNotRetried)
{
    const int port = test::UnusedLoopbackPort();
    SetDebugUrl(L"http://127.0.0.1:" + std::to_wstring(port) + L"/Renova/");
    tinyxml2::XMLDocument doc;
    std::wstring response;
    const test::LogCapture log;
    EXPECT_EQ(kInternetCannotConnect, PostXmlToService(kQuickCheckArgument, Document(doc), kQuickCheckMethod, response));
    EXPECT_EQ(L"The attempt to connect to the server failed.", response.substr(0, 44));
    EXPECT_TRUE(log.Contains(L"ERR", L"/QuickCheck result = 12029"));
    for (const auto& line : log.Lines()) {
        EXPECT_EQ(std::wstring::npos, line.message.find(L"without SSL")) << line.message;
    }
}

TEST_F(WebServiceTest, ASecureAddressThatCannotConnectIsTriedOnceMoreInPlain)
{
    const std::wstring host = L"127.0.0.1:" + std::to_wstring(test::UnusedLoopbackPort());
    SetDebugUrl(L"https://" + host + L"/Renova/");
    tinyxml2::XMLDocument doc;
    std::wstring response;
    const test::LogCapture log;
    EXPECT_EQ(kInternetCannotConnect, PostXmlToService(kQuickCheckArgument, Document(doc), kQuickCheckMethod, response));
    std::vector<std::wstring> results;
    for (const auto& line : log.Lines()) {
        if (line.message.find(L"without SSL") != std::wstring::npos || line.message.find(L"result =") != std::wstring::npos) {
            results.push_back(line.level + L" " + line.message);
        }
    }
    const std::vector<std::wstring> expected = {
        L"ERR /QuickCheck result = 12029",
        L"WAR Try to connect without SSL: http://" + host + L"/Renova/QRNVWebservice.asmx/QuickCheck",
        L"ERR /QuickCheck result = 12029",
    };
    EXPECT_EQ(expected, results);
}

TEST_F(WebServiceTest, StatusReportsGoToTheirMethodsUnderTheirArguments)
{
    SetDebugUrl(mServer.BaseUrl() + L"Renova/");
    tinyxml2::XMLDocument doc;
    doc.InsertEndChild(doc.NewElement("UpdateStatus"))->ToElement()->InsertEndChild(doc.NewElement("Status"))->ToElement()->SetText("-1");
    const test::LogCapture log;
    PostStatusXmlToService(kUpdateStatusArgument, doc, kUpdateStatusMethod);
    EXPECT_EQ(std::vector<std::string>{"/Renova/QRNVWebservice.asmx/ReportUpdateStatus"}, Paths());
    EXPECT_EQ("UpdateStatusXML=%253cUpdateStatus%253e%250a%2b%2b%2b%2b%253cStatus%253e%252d1%253c%252fStatus%253e%250a"
              "%253c%252fUpdateStatus%253e%250a",
              mBody);
    EXPECT_TRUE(log.Contains(L"INF", L"/ReportUpdateStatus result = 0"));
}

} // namespace
} // namespace qrnv

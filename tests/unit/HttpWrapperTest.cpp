#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "Client/service/HttpWrapper.h"
#include "Client/system/InternetErrors.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

TEST(UrlEncode, EncodesEverythingButLettersDigitsAndBlank)
{
    const struct {
        std::wstring in, out;
    } cases[] = {
        {L"a b&c", L"a+b%26c"},
        {L"x.y", L"x%2ey"},
        {L"<", L"%3c"},
        {L"\n", L"%0a"},
        {L"\u00e4", L"%e4"},
        {L"\u3042", L"%3042"},
        {L"-_.~*", L"%2d%5f%2e%7e%2a"},
        {L"AZaz09", L"AZaz09"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.out, UrlEncode(c.in));
    }
    // The web-service call encodes the document twice: a blank travels as %2b, "<" as %253c.
    EXPECT_EQ(L"%2b", UrlEncode(UrlEncode(L" ")));
    EXPECT_EQ(L"%253c", UrlEncode(UrlEncode(L"<")));
}

TEST(SplitUrl, HostObjectAndScheme)
{
    const struct {
        std::wstring url, host, object;
        bool secure;
    } cases[] = {
        {L"https://h/a/b", L"h", L"a/b", true},
        {L"http://h", L"h", L"", false},
        {L"http://127.0.0.1:8080/Renova/x.asmx/QuickCheck", L"127.0.0.1:8080", L"Renova/x.asmx/QuickCheck", false},
        {L"h/x", L"h", L"x", false},
        {L"https", L"", L"", true},
    };
    for (const auto& c : cases) {
        std::wstring host, object;
        bool secure = !c.secure;
        SplitUrl(c.url, host, object, secure);
        EXPECT_EQ(c.host, host) << c.url;
        EXPECT_EQ(c.object, object) << c.url;
        EXPECT_EQ(c.secure, secure) << c.url;
    }
}

TEST(SplitHostPort, PortOnlyWhenNumeric)
{
    std::wstring name;
    std::uint16_t port = 1;
    SplitHostPort(L"127.0.0.1:8080", name, port);
    EXPECT_EQ(L"127.0.0.1", name);
    EXPECT_EQ(8080, port);
    SplitHostPort(L"example.invalid", name, port);
    EXPECT_EQ(L"example.invalid", name);
    EXPECT_EQ(0, port);
    SplitHostPort(L"h:99999", name, port);
    EXPECT_EQ(L"h:99999", name);
    EXPECT_EQ(0, port);
    SplitHostPort(L"[::1]:81", name, port);
    EXPECT_EQ(L"::1", name);
    EXPECT_EQ(81, port);
}

class PostUrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& s = mServer.Server();
        s.Post("/ok", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> guard(mSeenLock);
            mBody = req.body;
            mAgent = req.get_header_value("User-Agent");
            mType = req.get_header_value("Content-Type");
            res.set_content("<string>answer</string>", "text/xml");
        });
        s.Post("/empty", [](const httplib::Request&, httplib::Response& res) { res.status = 200; });
        s.Post("/fail", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("boom", "text/plain");
        });
        s.Post("/high", [](const httplib::Request&, httplib::Response& res) { res.set_content("\xc3\xa4", "text/plain"); });
        // Announces 64 bytes, sends 16 and closes the connection.
        s.Post("/cut", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(64, "text/xml", [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write("<string>answer</", 16);
                    return true;
                }
                return false;
            });
        });
        ASSERT_NE(0, mServer.Start());
    }

    std::wstring Url(const wchar_t* path) { return mServer.BaseUrl() + path; }

    // Written on the server's thread; the answer reaches the test only through the socket,
    // which orders nothing for the memory model.
    std::mutex mSeenLock;
    std::string mBody, mAgent, mType;
    // After the state its handlers use: the server stops before that state is destroyed.
    test::LoopbackServer mServer;
};

TEST_F(PostUrlTest, PostsTheFormBodyAndReadsTheAnswer)
{
    CHttpWrapper http;
    http.AddPostArgument(L"QuickCheckXML", L"<a b/>");
    http.AddPostArgument(L"Second", L"x");
    std::wstring response = L"untouched";
    EXPECT_EQ(kPostOk, http.PostUrl(Url(L"ok"), response));
    EXPECT_EQ(L"<string>answer</string>", response);
    std::lock_guard<std::mutex> guard(mSeenLock);
    EXPECT_EQ("QuickCheckXML=%3ca+b%2f%3e&Second=x", mBody);
    EXPECT_EQ("QuarnRenova", mAgent);
    EXPECT_EQ("application/x-www-form-urlencoded", mType);
}

TEST_F(PostUrlTest, StatusCodesAndEmptyBodies)
{
    CHttpWrapper http;
    http.AddPostArgument(L"A", L"1");
    std::wstring response = L"untouched";
    EXPECT_EQ(kPostOk, http.PostUrl(Url(L"empty"), response));
    EXPECT_EQ(L"", response);

    response = L"untouched";
    EXPECT_EQ(500u, http.PostUrl(Url(L"fail"), response));
    EXPECT_EQ(L"untouched", response);

    EXPECT_EQ(404u, http.PostUrl(Url(L"missing"), response));
}

TEST_F(PostUrlTest, ABodyCutOffIsNoAnswer)
{
    CHttpWrapper http;
    http.AddPostArgument(L"A", L"1");
    std::wstring response;
    EXPECT_EQ(kInternetConnectionAborted, http.PostUrl(Url(L"cut"), response));
    EXPECT_EQ(std::wstring::npos, response.find(L"answer"));
#ifndef _WIN32
    // Windows takes the text from the system (Wine's differs).
    EXPECT_EQ(L"The connection with the server was terminated abnormally", response.substr(0, 56));
#endif
}

TEST_F(PostUrlTest, BytesAboveSevenBitsAreWidenedWithTheirSign)
{
    CHttpWrapper http;
    http.AddPostArgument(L"A", L"1");
    std::wstring response;
    ASSERT_EQ(kPostOk, http.PostUrl(Url(L"high"), response));
    ASSERT_EQ(2u, response.size());
    EXPECT_EQ(0xFFC3u, static_cast<std::uint32_t>(response[0]));
    EXPECT_EQ(0xFFA4u, static_cast<std::uint32_t>(response[1]));
}

// A server that goes silent: before its answer, or in the middle of the body. It stays
// silent for many times the shortened receive time-out, until the test ends.
class SilentServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& s = mServer.Server();
        s.Post("/silent", [this](const httplib::Request&, httplib::Response& res) {
            Stall();
            res.set_content("<string>late</string>", "text/xml");
        });
        s.Post("/stalled", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(64, "text/xml", [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write("<string>", 8);
                    return true;
                }
                Stall();
                return false;
            });
        });
        ASSERT_NE(0, mServer.Start());
    }
    void TearDown() override
    {
        {
            std::lock_guard<std::mutex> guard(mLock);
            mEnding = true;
        }
        mEnd.notify_all();
        mServer.Stop();
    }
    void Stall()
    {
        std::unique_lock<std::mutex> guard(mLock);
        mEnd.wait_for(guard, std::chrono::seconds(5), [this] { return mEnding; });
    }

    test::ScopedVariable mTimeout{L"QRNV_HTTP_TIMEOUT_MS", L"300"};
    test::LoopbackServer mServer;
    std::mutex mLock;
    std::condition_variable mEnd;
    bool mEnding = false;
};

TEST_F(SilentServerTest, NothingReceivedForTheReceiveTimeOutEndsThePost)
{
    for (const wchar_t* path : {L"silent", L"stalled"}) {
        CHttpWrapper http;
        http.AddPostArgument(L"A", L"1");
        std::wstring response;
        const std::uint32_t result = http.PostUrl(mServer.BaseUrl() + path, response);
        EXPECT_NE(kPostOk, result) << path;
        EXPECT_EQ(std::wstring::npos, response.find(L"late")) << path;
#ifndef _WIN32
        // Wine's WinINet numbers a time-out otherwise (12030 before the answer, the socket's
        // 10060 within the body); Windows and the POSIX transport say 12002.
        EXPECT_EQ(kInternetTimeout, result) << path;
        EXPECT_EQ(L"The operation timed out", response.substr(0, 23)) << path;
#endif
    }
}

TEST(PostUrl, DeadPortGivesCannotConnectWithItsMessage)
{
    // Bind a port and close it again, so nothing listens there.
    int port = 0;
    {
        test::LoopbackServer probe;
        port = probe.Start();
        probe.Stop();
    }
    ASSERT_NE(0, port);
    CHttpWrapper http;
    http.AddPostArgument(L"A", L"1");
    std::wstring response;
    const std::uint32_t result = http.PostUrl(L"http://127.0.0.1:" + std::to_wstring(port) + L"/x", response);
    EXPECT_EQ(kInternetCannotConnect, result);
    EXPECT_EQ(L"The attempt to connect to the server failed.", response.substr(0, 44));
}

} // namespace
} // namespace qrnv

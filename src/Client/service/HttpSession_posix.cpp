#include "Client/service/HttpSession.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <cerrno>
#include <chrono>
#include <list>
#include <mutex>

#include "Client/system/InternetErrors.h"
#include "Client/system/LastError.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

struct Connection {
    std::wstring host;
    std::uint16_t port = 0;
    bool secure = false;
};

struct Request {
    Connection* connection = nullptr;
    std::wstring object;
    bool sent = false;
    long status = 0;
    std::string body;
    std::uint32_t bodyError = 0;
};

// What each libcurl failure stands for in WinINet's numbers.
struct CurlMapping {
    CURLcode curl;
    std::uint32_t wininet;
};

constexpr CurlMapping kCurlToWinInet[] = {
    {CURLE_COULDNT_CONNECT, kInternetCannotConnect},
    {CURLE_COULDNT_RESOLVE_HOST, kInternetNameNotResolved},
    {CURLE_COULDNT_RESOLVE_PROXY, kInternetNameNotResolved},
    {CURLE_OPERATION_TIMEDOUT, kInternetTimeout},
    {CURLE_URL_MALFORMAT, kInternetInvalidUrl},
    {CURLE_UNSUPPORTED_PROTOCOL, kInternetUnrecognizedScheme},
    {CURLE_SSL_CONNECT_ERROR, kInternetSecurityChannelError},
    {CURLE_SSL_CACERT_BADFILE, kInternetInvalidCa},
    {CURLE_GOT_NOTHING, kHttpInvalidServerResponse},
    {CURLE_WEIRD_SERVER_REPLY, kHttpInvalidServerResponse},
    {CURLE_PARTIAL_FILE, kInternetConnectionAborted},
    {CURLE_RECV_ERROR, kInternetConnectionAborted},
    {CURLE_SEND_ERROR, kInternetConnectionReset},
    {CURLE_WRITE_ERROR, kHttpInvalidServerResponse},
    {CURLE_OUT_OF_MEMORY, kInternetOutOfHandles},
};

// libcurl reports every certificate failure alike; the verify result tells them apart.
std::uint32_t CertificateError(long verifyResult)
{
    switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CRL_HAS_EXPIRED:
    case X509_V_ERR_CRL_NOT_YET_VALID:
        return kInternetSecCertDateInvalid;
    case X509_V_ERR_CERT_REVOKED:
        return kInternetSecCertRevoked;
    case X509_V_ERR_UNABLE_TO_GET_CRL:
    case X509_V_ERR_UNABLE_TO_GET_CRL_ISSUER:
        return kInternetSecCertRevFailed;
    case X509_V_ERR_HOSTNAME_MISMATCH:
        return kInternetSecCertCnInvalid;
    default:
        return kInternetInvalidCa;
    }
}

std::uint32_t MapCurlError(CURLcode code, CURL* curl)
{
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        long verify = 0;
        curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verify);
        return CertificateError(verify);
    }
    for (const auto& m : kCurlToWinInet) {
        if (m.curl == code) {
            return m.wininet;
        }
    }
    return kInternetInternalError;
}

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct BodySink {
    std::string* body;
    bool overflow = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<BodySink*>(user);
    const size_t n = size * count;
    if (sink->body->size() + n > kMaxAnswerBytes) {
        sink->overflow = true;
        return 0; // stops the transfer
    }
    sink->body->append(data, n);
    return n;
}

// The receive time-out as WinINet keeps it: once connected, a transfer in which nothing moves
// for that long ends. (libcurl's low-speed check averages the speed over several seconds, so
// the sent body alone kept a silent server's post alive seconds beyond the time-out.)
struct IdleWatch {
    std::chrono::milliseconds limit;
    bool connected = false;
    bool expired = false;
    curl_off_t received = 0;
    curl_off_t sent = 0;
    std::chrono::steady_clock::time_point lastMove;
};

int StartIdleWatch(void* user, char*, char*, int, int)
{
    auto* watch = static_cast<IdleWatch*>(user);
    watch->connected = true;
    watch->lastMove = std::chrono::steady_clock::now();
    return CURL_PREREQFUNC_OK;
}

int CheckIdle(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent)
{
    auto* watch = static_cast<IdleWatch*>(user);
    if (!watch->connected) {
        return 0; // the connect time-out covers this part
    }
    const auto now = std::chrono::steady_clock::now();
    if (received != watch->received || sent != watch->sent) {
        watch->received = received;
        watch->sent = sent;
        watch->lastMove = now;
        return 0;
    }
    if (now - watch->lastMove >= watch->limit) {
        watch->expired = true;
        return 1; // ends the transfer
    }
    return 0;
}

} // namespace

struct HttpSession::Impl {
    std::string agent;
    // Owned here and closed with the session, as WinINet closes child handles.
    std::list<Connection> connections;
    std::list<Request> requests;
};

HttpSession::HttpSession(const std::wstring& agent) : mImpl(std::make_unique<Impl>())
{
    const int saved = errno;
    InitCurlOnce();
    mImpl->agent = WideToUtf8(agent);
    // Opening touches configuration files; that leaves errno behind without any failure.
    errno = saved;
}

HttpSession::~HttpSession() = default;

std::uint32_t HttpSession::Connect(const std::wstring& host, bool secure, Handle& connection, std::wstring& message)
{
    Connection c;
    SplitHostPort(host, c.host, c.port);
    c.secure = secure;
    if (c.host.empty()) {
        message = InternetErrorMessage(kInternetInvalidUrl);
        SetLastErrorCode(kInternetInvalidUrl);
        connection = nullptr;
        return kInternetInvalidUrl;
    }
    mImpl->connections.push_back(c);
    connection = &mImpl->connections.back();
    return 0;
}

std::uint32_t HttpSession::OpenRequest(Handle connection, const std::wstring& object, bool, Handle& request,
                                       std::wstring&)
{
    Request r;
    r.connection = static_cast<Connection*>(connection);
    r.object = object;
    mImpl->requests.push_back(r);
    request = &mImpl->requests.back();
    return 0;
}

std::uint32_t HttpSession::SendRequest(Handle request, const std::wstring& headers, const std::string& body,
                                       std::wstring& message)
{
    auto* r = static_cast<Request*>(request);
    const Connection& c = *r->connection;
    std::string url = c.secure ? "https://" : "http://";
    const std::string host = WideToUtf8(c.host);
    url += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (c.port != 0) {
        url += ":" + std::to_string(c.port);
    }
    url += "/" + WideToUtf8(r->object);

    CURL* curl = curl_easy_init();
    if (!curl) {
        message = InternetErrorMessage(kInternetOutOfHandles);
        SetLastErrorCode(kInternetOutOfHandles);
        return kInternetOutOfHandles;
    }
    curl_slist* list = nullptr;
    list = curl_slist_append(list, WideToUtf8(headers).c_str());
    list = curl_slist_append(list, "Expect:"); // no 100-continue round trip
    BodySink sink{&r->body};
    r->body.clear();

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, mImpl->agent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(HttpConnectTimeoutMs()));
    // Nothing received for the receive time-out ends the transfer, as WinINet would.
    IdleWatch watch{std::chrono::milliseconds(HttpReceiveTimeoutMs())};
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, StartIdleWatch);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, &watch);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckIdle);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");

    const CURLcode code = curl_easy_perform(curl);
    std::uint32_t error = 0;
    if (code == CURLE_WRITE_ERROR && sink.overflow) {
        error = kHttpInvalidServerResponse;
    } else if (code == CURLE_ABORTED_BY_CALLBACK && watch.expired) {
        error = kInternetTimeout;
    } else if (code != CURLE_OK) {
        error = MapCurlError(code, curl);
    } else {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r->status);
        r->sent = true;
    }
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    if (error != 0) {
        r->body.clear();
        message = InternetErrorMessage(error);
        SetLastErrorCode(error);
        return error;
    }
    SetLastErrorCode(0);
    return 0;
}

bool HttpSession::QueryStatusCode(Handle request, std::uint32_t& status)
{
    auto* r = static_cast<Request*>(request);
    if (!r || !r->sent) {
        return false;
    }
    status = static_cast<std::uint32_t>(r->status);
    return true;
}

std::uint32_t HttpSession::ReadBody(Handle request, std::string& body, std::wstring&)
{
    auto* r = static_cast<Request*>(request);
    body = r ? r->body : std::string();
    return 0;
}

} // namespace qrnv

#include "Client/service/UrlDownload.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>

#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

std::mutex gLimitsLock;
DownloadLimits gLimits;

bool CurlReady()
{
    static std::once_flag once;
    static bool ready = false;
    // Set up once for the process and kept: other threads may be using libcurl.
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

class OutputFile {
public:
    explicit OutputFile(const std::string& path)
        : mPath(path), mFd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600))
    {
    }
    ~OutputFile()
    {
        if (mFd >= 0) {
            close(mFd);
        }
        if (!mKept) {
            unlink(mPath.c_str());
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool IsOpen() const { return mFd >= 0; }

    bool Write(const char* data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = write(mFd, data, size);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // Puts the complete file in place of target, on disk first.
    bool MoveTo(const std::string& target)
    {
        const bool synced = fsync(mFd) == 0;
        const bool closed = close(mFd) == 0;
        mFd = -1;
        if (!synced || !closed || rename(mPath.c_str(), target.c_str()) != 0) {
            return false;
        }
        mKept = true;
        return true;
    }

private:
    std::string mPath;
    int mFd;
    bool mKept = false;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* file = static_cast<OutputFile*>(user);
    const std::size_t bytes = size * count;
    return file->Write(data, bytes) ? bytes : 0;
}

std::int32_t CodeOfCurlResult(CURLcode code)
{
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return kInetInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return kInetResourceNotFound;
    case CURLE_COULDNT_CONNECT:
        return kInetCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return kInetConnectionTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return kInetSecurityProblem;
    case CURLE_TOO_MANY_REDIRECTS:
        return kInetRedirectFailed;
    case CURLE_WRITE_ERROR:
        return kDownloadCannotSave;
    default:
        return kInetDownloadFailure;
    }
}

std::int32_t CodeOfHttpStatus(long status)
{
    if (status >= 200 && status < 300) {
        return kDownloadOk;
    }
    return (status == 404 || status == 410) ? kInetObjectNotFound : kInetDownloadFailure;
}

} // namespace

DownloadScope::DownloadScope()
{
    mReady = CurlReady();
}

DownloadScope::~DownloadScope() = default;

void RemoveCachedCopy(const std::wstring&)
{
}

DownloadLimits GetDownloadLimits()
{
    std::lock_guard<std::mutex> lock(gLimitsLock);
    return gLimits;
}

void SetDownloadLimits(const DownloadLimits& limits)
{
    std::lock_guard<std::mutex> lock(gLimitsLock);
    gLimits = limits;
}

std::int32_t TransferUrlToFile(const std::wstring& url, const std::wstring& target)
{
    if (!CurlReady()) {
        return kInetDownloadFailure;
    }
    const std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        return kInetDownloadFailure;
    }
    OutputFile file(WideToUtf8(PartialFileName(target)));
    if (!file.IsOpen()) {
        return kDownloadCannotSave;
    }

    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const char* h : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
        curl_slist* grown = curl_slist_append(headers.get(), h);
        if (!grown) {
            return kInetDownloadFailure;
        }
        headers.release();
        headers.reset(grown);
    }

    const std::string address = WideToUtf8(url);
    const DownloadLimits limits = GetDownloadLimits();
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, address.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, limits.mMaxRedirects);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.mConnectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, limits.mLowSpeedBytesPerSecond);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, limits.mLowSpeedSeconds);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 0L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &file);

    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK) {
        return CodeOfCurlResult(code);
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (const std::int32_t failed = CodeOfHttpStatus(status); failed != kDownloadOk) {
        return failed;
    }
    if (!file.MoveTo(WideToUtf8(target))) {
        return kDownloadCannotSave;
    }
    return kDownloadOk;
}

} // namespace qrnv

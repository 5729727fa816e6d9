#pragma once
// The platform's URL download service under DownloadFile: URLMon and the WinINet cache on
// Windows, libcurl on POSIX. Either way the file arrives under a temporary name beside the
// target and is renamed into place only when it is complete, so an interrupted transfer
// never leaves a partial file under the target's name.

#include <cstdint>
#include <string>

namespace qrnv {

inline constexpr std::int32_t kDownloadOk = 0;
// URLMon's failure codes; the POSIX transfer reports the same situations with them.
inline constexpr std::int32_t kInetInvalidUrl = static_cast<std::int32_t>(0x800C0002);
inline constexpr std::int32_t kInetCannotConnect = static_cast<std::int32_t>(0x800C0004);
inline constexpr std::int32_t kInetResourceNotFound = static_cast<std::int32_t>(0x800C0005); // no such server
inline constexpr std::int32_t kInetObjectNotFound = static_cast<std::int32_t>(0x800C0006);   // 404, 410
inline constexpr std::int32_t kInetDownloadFailure = static_cast<std::int32_t>(0x800C0008);
inline constexpr std::int32_t kInetConnectionTimeout = static_cast<std::int32_t>(0x800C000B);
inline constexpr std::int32_t kInetSecurityProblem = static_cast<std::int32_t>(0x800C000E);
inline constexpr std::int32_t kInetRedirectFailed = static_cast<std::int32_t>(0x800C0014);
// The file could not be written or put in place (E_FAIL).
inline constexpr std::int32_t kDownloadCannotSave = static_cast<std::int32_t>(0x80004005);

// The transfers of one DownloadFile call run inside one of these (Windows: the calling
// thread's single-threaded COM apartment; POSIX: libcurl's one-time set-up).
class DownloadScope {
public:
    DownloadScope();
    ~DownloadScope();
    DownloadScope(const DownloadScope&) = delete;
    DownloadScope& operator=(const DownloadScope&) = delete;
    bool Ready() const { return mReady; }

private:
    bool mReady = false;
};

// Drops a cached copy of the URL, so that the transfer cannot be answered from a cache.
// POSIX: nothing is cached; the transfer itself asks proxies and servers not to answer
// from theirs.
void RemoveCachedCopy(const std::wstring& url);

// Fetches the URL into target: kDownloadOk, or a failure code (an HRESULT on Windows, one of
// the codes above on POSIX). An existing target is replaced only by a complete new file.
std::int32_t TransferUrlToFile(const std::wstring& url, const std::wstring& target);

// A name for the file in transfer, beside target and unique in this process.
std::wstring PartialFileName(const std::wstring& target);

// Deletes the partial files a killed transfer of target left beside it: those whose process
// is no longer running. A running client's transfer is never touched. Gives the count.
int RemoveAbandonedPartialFiles(const std::wstring& target);

#ifndef _WIN32
// How long the POSIX transfer waits before it gives up on a server. A connection must be
// made within mConnectTimeoutSeconds (WinINet's connect timeout, 60 s); once connected,
// a transfer slower than mLowSpeedBytesPerSecond for mLowSpeedSeconds in a row is ended
// (WinINet ends a receive after 30 s without data; the floor of 100 bytes/s also ends a
// server that trickles a byte now and then and would otherwise hold us for hours).
// Redirects are followed, at most mMaxRedirects of them, over http and https only.
struct DownloadLimits {
    long mConnectTimeoutSeconds = 60;
    long mLowSpeedBytesPerSecond = 100;
    long mLowSpeedSeconds = 30;
    long mMaxRedirects = 10;
};

DownloadLimits GetDownloadLimits();
// For tests, so that a stalled server is given up in seconds.
void SetDownloadLimits(const DownloadLimits& limits);
#endif

} // namespace qrnv

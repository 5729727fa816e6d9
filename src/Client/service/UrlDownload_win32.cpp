#include "Client/service/UrlDownload.h"

#include <cwchar>

#include "sdk/WinInclude.h"
#include <objbase.h>
#include <urlmon.h>
#include <wininet.h>

namespace qrnv {
namespace {

// Watches one URLDownloadToFileW transfer for what its result does not tell: URLMon
// reports success for an error page (a 404 is saved as the file) and for a body the server
// cut short. It lives on the stack for the synchronous call; no reference counting.
class TransferObserver : public IBindStatusCallback, public IHttpNegotiate {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
            *object = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        if (IsEqualIID(riid, IID_IHttpNegotiate)) {
            *object = static_cast<IHttpNegotiate*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override
    {
        if (additionalHeaders) {
            *additionalHeaders = nullptr;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR responseHeaders, LPCWSTR, LPWSTR* additionalHeaders) override
    {
        if (additionalHeaders) {
            *additionalHeaders = nullptr;
        }
        mStatus = status;
        if (responseHeaders) {
            ReadHeaders(responseHeaders);
        }
        return S_OK;
    }

    // The failure the transfer hid, or kDownloadOk; size is the file's length.
    std::int32_t Verdict(ULONGLONG size) const
    {
        if (mStatus != 0 && (mStatus < 200 || mStatus >= 300)) {
            return (mStatus == 404 || mStatus == 410) ? kInetObjectNotFound : kInetDownloadFailure;
        }
        // An encoded body is stored decoded, so only a plain one can be measured.
        if (mHasLength && !mEncoded && size != mLength) {
            return kInetDownloadFailure;
        }
        return kDownloadOk;
    }

private:
    void ReadHeaders(const wchar_t* headers)
    {
        const wchar_t* line = headers;
        while (*line) {
            const wchar_t* end = line;
            while (*end && *end != L'\r' && *end != L'\n') {
                ++end;
            }
            const std::wstring text(line, end);
            const std::size_t colon = text.find(L':');
            if (colon != std::wstring::npos) {
                std::wstring name = text.substr(0, colon);
                for (auto& c : name) {
                    c = static_cast<wchar_t>(towlower(c));
                }
                const wchar_t* value = text.c_str() + colon + 1;
                while (*value == L' ' || *value == L'\t') {
                    ++value;
                }
                if (name == L"content-length") {
                    wchar_t* stop = nullptr;
                    const unsigned long long n = wcstoull(value, &stop, 10);
                    if (stop != value) {
                        mLength = n;
                        mHasLength = true;
                    }
                } else if (name == L"content-encoding" && *value && _wcsicmp(value, L"identity") != 0) {
                    mEncoded = true;
                }
            }
            line = end;
            while (*line == L'\r' || *line == L'\n') {
                ++line;
            }
        }
    }

    DWORD mStatus = 0;
    bool mHasLength = false;
    bool mEncoded = false;
    ULONGLONG mLength = 0;
};

bool FileSize(const std::wstring& path, ULONGLONG& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

} // namespace

DownloadScope::DownloadScope()
{
    mReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

DownloadScope::~DownloadScope()
{
    if (mReady) {
        CoUninitialize();
    }
}

void RemoveCachedCopy(const std::wstring& url)
{
    DeleteUrlCacheEntryW(url.c_str());
}

std::int32_t TransferUrlToFile(const std::wstring& url, const std::wstring& target)
{
    const std::wstring partial = PartialFileName(target);
    TransferObserver observer;
    HRESULT result = URLDownloadToFileW(nullptr, url.c_str(), partial.c_str(), 0, &observer);
    ULONGLONG size = 0;
    if (result == S_OK) {
        result = FileSize(partial, size) ? observer.Verdict(size) : kDownloadCannotSave;
    }
    if (result != S_OK) {
        DeleteFileW(partial.c_str());
        return static_cast<std::int32_t>(result);
    }
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileW(partial.c_str());
        return static_cast<std::int32_t>(HRESULT_FROM_WIN32(error));
    }
    return kDownloadOk;
}

} // namespace qrnv

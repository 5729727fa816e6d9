#pragma once
// The URL download's status callback, whose progress reports feed the dialog's progress
// bar. The dialog's download thread makes one on its stack and hands it to the update
// driver; the callback reaches the dialog only through DownloadProgressSink, so this layer
// needs nothing of the user interface.

#include <cstdint>

#ifdef _WIN32
#include "sdk/WinInclude.h"
#include <urlmon.h>
#endif

namespace qrnv {

// What the dialog offers the download: the progress display.
class DownloadProgressSink {
public:
    virtual void ShowDownloadProgress(std::uint32_t done, std::uint32_t total) = 0;

protected:
    ~DownloadProgressSink() = default;
};

// BINDSTATUS_DOWNLOADINGDATA: the status code of a progress report with data.
inline constexpr std::uint32_t kBindStatusDownloadingData = 5;
inline constexpr std::int32_t kCallbackNotImplemented = static_cast<std::int32_t>(0x80004001); // E_NOTIMPL

#ifdef _WIN32
// An IBindStatusCallback that lives on its creator's stack: no reference counting, every
// operation but OnProgress answers E_NOTIMPL.
class DownloadCallback : public IBindStatusCallback {
public:
    explicit DownloadCallback(DownloadProgressSink* sink = nullptr) : mSink(sink) {}
    virtual ~DownloadCallback() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
    // Status 5: ShowDownloadProgress(progress, progressMax). 0 for every status.
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override;

private:
    DownloadProgressSink* mSink;
};
#else
// The same progress contract without COM.
class DownloadCallback {
public:
    explicit DownloadCallback(DownloadProgressSink* sink = nullptr) : mSink(sink) {}

    // Status 5: ShowDownloadProgress(progress, progressMax). 0 for every status.
    std::int32_t OnProgress(std::uint32_t progress, std::uint32_t progressMax, std::uint32_t statusCode,
                            const wchar_t* statusText);

private:
    DownloadProgressSink* mSink;
};
#endif

} // namespace qrnv

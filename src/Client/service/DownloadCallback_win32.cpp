#include "Client/service/DownloadCallback.h"

namespace qrnv {

HRESULT STDMETHODCALLTYPE DownloadCallback::QueryInterface(REFIID, void** object)
{
    if (object) {
        *object = nullptr;
    }
    return kCallbackNotImplemented;
}

ULONG STDMETHODCALLTYPE DownloadCallback::AddRef()
{
    return 0;
}

ULONG STDMETHODCALLTYPE DownloadCallback::Release()
{
    return 0;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::OnStartBinding(DWORD, IBinding*)
{
    return kCallbackNotImplemented;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::GetPriority(LONG*)
{
    return kCallbackNotImplemented;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::OnLowResource(DWORD)
{
    return kCallbackNotImplemented;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR)
{
    if (statusCode == kBindStatusDownloadingData && mSink) {
        mSink->ShowDownloadProgress(progress, progressMax);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::OnStopBinding(HRESULT, LPCWSTR)
{
    return kCallbackNotImplemented;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::GetBindInfo(DWORD*, BINDINFO*)
{
    return kCallbackNotImplemented;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*)
{
    return kCallbackNotImplemented;
}

HRESULT STDMETHODCALLTYPE DownloadCallback::OnObjectAvailable(REFIID, IUnknown*)
{
    return kCallbackNotImplemented;
}

} // namespace qrnv

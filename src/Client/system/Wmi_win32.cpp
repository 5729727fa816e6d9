#include "Client/system/Wmi.h"

#include <mutex>

#include "Client/system/LastError.h"
#include "sdk/WinInclude.h"
#include "sdk/text/Format.h"

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

namespace qrnv {
namespace {

template <class T>
void Release(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : mText(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(mText); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return mText; }

private:
    BSTR mText;
};

// COM security can be set once per process; a second discovery in the same process must
// not fail on it.
std::mutex gSecurityLock;
bool gSecuritySet = false;

class ComObject : public WmiObject {
public:
    explicit ComObject(IWbemClassObject* object) : mObject(object) {}
    ~ComObject() override { Release(mObject); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    std::int32_t Get(const std::wstring& name, std::optional<std::wstring>& text) const override
    {
        text.reset();
        VARIANT value;
        VariantInit(&value);
        const HRESULT hr = mObject->Get(name.c_str(), 0, &value, nullptr, nullptr);
        if (SUCCEEDED(hr) && value.vt == VT_BSTR) {
            text = value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : std::wstring();
        }
        VariantClear(&value);
        return hr;
    }

private:
    IWbemClassObject* mObject;
};

} // namespace

struct WmiSession::State {
    bool comStarted = false;
    IWbemLocator* locator = nullptr;
    IWbemServices* services = nullptr;
    IEnumWbemClassObject* enumerator = nullptr;
};

WmiSession::WmiSession() : mState(std::make_unique<State>()) {}

WmiSession::~WmiSession()
{
    Release(mState->enumerator);
    Release(mState->services);
    Release(mState->locator);
    if (mState->comStarted) {
        CoUninitialize();
    }
}

std::int32_t WmiSession::InitializeCom()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // S_FALSE: already initialised on this thread, which still wants its own uninitialise.
    if (SUCCEEDED(hr)) {
        mState->comStarted = true;
    }
    return hr;
}

std::int32_t WmiSession::InitializeSecurity()
{
    const std::lock_guard<std::mutex> lock(gSecurityLock);
    if (gSecuritySet) {
        return S_OK;
    }
    HRESULT hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                      EOAC_NONE, nullptr);
    // Set before (by an earlier session or another part of the process): it stays as it is.
    if (hr == RPC_E_TOO_LATE) {
        hr = S_OK;
    }
    if (SUCCEEDED(hr)) {
        gSecuritySet = true;
    }
    return hr;
}

std::int32_t WmiSession::CreateLocator()
{
    return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, reinterpret_cast<void**>(&mState->locator));
}

std::int32_t WmiSession::ConnectServer(const std::wstring& nameSpace)
{
    if (!mState->locator) {
        return E_POINTER;
    }
    const Bstr name(nameSpace);
    return mState->locator->ConnectServer(name.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &mState->services);
}

std::int32_t WmiSession::SetProxyBlanket()
{
    if (!mState->services) {
        return E_POINTER;
    }
    return CoSetProxyBlanket(mState->services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

std::int32_t WmiSession::ExecQuery(const std::wstring& language, const std::wstring& query)
{
    if (!mState->services) {
        return E_POINTER;
    }
    const Bstr lang(language);
    const Bstr text(query);
    return mState->services->ExecQuery(lang.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                       &mState->enumerator);
}

std::int32_t WmiSession::Next(std::uint32_t timeoutMs, std::unique_ptr<WmiObject>& object)
{
    object.reset();
    if (!mState->enumerator) {
        return E_POINTER;
    }
    IWbemClassObject* found = nullptr;
    ULONG returned = 0;
    const HRESULT hr = mState->enumerator->Next(static_cast<long>(timeoutMs), 1, &found, &returned);
    if (returned == 1 && found) {
        object = std::make_unique<ComObject>(found);
    } else {
        Release(found);
    }
    return hr;
}

std::wstring WmiSession::ErrorText(std::int32_t status) const
{
    return GetErrorMessage(static_cast<std::uint32_t>(status)) + FormatText(L" (%lu)", static_cast<std::uint32_t>(status));
}

} // namespace qrnv

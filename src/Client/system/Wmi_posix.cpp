#include "Client/system/Wmi.h"

// The stand-in: one class, Win32_Product in ROOT\CIMV2, whose objects are the products of
// the stand-in installer database, read when the query runs. There is no COM to start and
// no security to set; the steps keep their order and their failures.

#include <cwctype>
#include <vector>

#include "Client/system/InstallerDatabase.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

bool SameText(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A CIM date and time for an install date of eight digits; none for anything else.
std::optional<std::wstring> DateTimeOf(const std::optional<std::wstring>& date)
{
    if (!date || date->size() != 8) {
        return std::nullopt;
    }
    for (wchar_t c : *date) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
    }
    return *date + L"000000.000000+000";
}

class ProductObject : public WmiObject {
public:
    explicit ProductObject(InstallerProduct product) : mProduct(std::move(product)) {}

    std::int32_t Get(const std::wstring& name, std::optional<std::wstring>& text) const override
    {
        text.reset();
        if (SameText(name, L"IdentifyingNumber")) {
            text = mProduct.mProductCode;
        } else if (SameText(name, L"InstallLocation")) {
            text = mProduct.mInstallLocation;
        } else if (SameText(name, L"Name")) {
            text = mProduct.mProductName;
        } else if (SameText(name, L"Version")) {
            text = mProduct.mVersionString;
        } else if (SameText(name, L"InstallDate")) {
            text = mProduct.mInstallDate;
        } else if (SameText(name, L"InstallDate2")) {
            text = DateTimeOf(mProduct.mInstallDate);
        } else if (SameText(name, L"Language")) {
            text = mProduct.mLanguage;
        } else {
            return kWmiNotFound;
        }
        return kWmiOk;
    }

private:
    InstallerProduct mProduct;
};

} // namespace

struct WmiSession::State {
    bool connected = false;
    bool queried = false;
    std::vector<InstallerProduct> products;
    std::size_t next = 0;
    std::string detail; // why the last step failed, beyond its status
};

WmiSession::WmiSession() : mState(std::make_unique<State>()) {}
WmiSession::~WmiSession() = default;

std::int32_t WmiSession::InitializeCom()
{
    return kWmiOk;
}

std::int32_t WmiSession::InitializeSecurity()
{
    return kWmiOk;
}

std::int32_t WmiSession::CreateLocator()
{
    return kWmiOk;
}

std::int32_t WmiSession::ConnectServer(const std::wstring& nameSpace)
{
    if (!SameText(nameSpace, L"ROOT\\CIMV2")) {
        return kWmiInvalidNamespace;
    }
    mState->connected = true;
    return kWmiOk;
}

std::int32_t WmiSession::SetProxyBlanket()
{
    return mState->connected ? kWmiOk : kWmiFailed;
}

std::int32_t WmiSession::ExecQuery(const std::wstring& language, const std::wstring& query)
{
    if (!mState->connected) {
        return kWmiFailed;
    }
    if (!SameText(language, L"WQL")) {
        return kWmiInvalidQueryType;
    }
    if (!SameText(query, L"SELECT * FROM Win32_Product")) {
        return kWmiInvalidQuery;
    }
    // A machine without the database has no products: the query succeeds with none.
    std::string error;
    if (ReadInstallerProducts(mState->products, error) == InstallerStoreResult::Failed) {
        mState->detail = error;
        return kWmiFailed;
    }
    mState->queried = true;
    mState->next = 0;
    return kWmiOk;
}

std::int32_t WmiSession::Next(std::uint32_t, std::unique_ptr<WmiObject>& object)
{
    object.reset();
    if (!mState->queried) {
        return kWmiFailed;
    }
    if (mState->next >= mState->products.size()) {
        return kWmiFalse;
    }
    object = std::make_unique<ProductObject>(mState->products[mState->next++]);
    return kWmiOk;
}

std::wstring WmiSession::ErrorText(std::int32_t status) const
{
    const wchar_t* message = L"";
    switch (status) {
    case kWmiFailed:
        message = L"Generic failure";
        break;
    case kWmiNotFound:
        message = L"Not found";
        break;
    case kWmiInvalidNamespace:
        message = L"Invalid namespace";
        break;
    case kWmiInvalidQuery:
        message = L"Invalid query";
        break;
    case kWmiInvalidQueryType:
        message = L"Invalid query type";
        break;
    default:
        break;
    }
    std::wstring text = message;
    if (!mState->detail.empty()) {
        text += L": " + Utf8ToWide(mState->detail);
    }
    return text + FormatText(L" (%lu)", static_cast<std::uint32_t>(status));
}

} // namespace qrnv

#include "Client/system/MacAddress.h"

#include <cstdlib>
#include <memory>

#include "Client/Log.h"
#include "Client/system/LastError.h"
#include "sdk/WinInclude.h"
#include <winsock2.h>
#include <iphlpapi.h>

namespace qrnv {
namespace {

constexpr ULONG kFirstBufferSize = 16 * 1024;
constexpr ULONG kIpv4AddressLength = 16; // sizeof(sockaddr_in)

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// The first unicast address of an adapter that the walk accepts.
bool HasUsableIpv4(const IP_ADAPTER_ADDRESSES& adapter)
{
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = adapter.FirstUnicastAddress; u; u = u->Next) {
        if ((u->Flags & IP_ADAPTER_ADDRESS_DNS_ELIGIBLE) && !(u->Flags & IP_ADAPTER_ADDRESS_TRANSIENT) &&
            u->Address.lpSockaddr && u->Address.lpSockaddr->sa_family == AF_INET &&
            static_cast<ULONG>(u->Address.iSockaddrLength) == kIpv4AddressLength) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ListAdapters(std::vector<AdapterFacts>& adapters)
{
    ULONG size = kFirstBufferSize;
    std::unique_ptr<void, FreeDeleter> buffer(std::malloc(size));
    ULONG result = ERROR_BUFFER_OVERFLOW;
    while (true) {
        if (!buffer) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            LogError(L"malloc ulAdapterAddressesSize failed because: %s", GetLastErrorText());
            return false;
        }
        result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_DNS_SERVER, nullptr,
                                      static_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
        if (result != ERROR_BUFFER_OVERFLOW) {
            break;
        }
        // The system names the size it needs; ask again with that much.
        buffer.reset(std::malloc(size));
    }
    if (result != NO_ERROR) {
        return true; // no adapters to walk
    }
    for (auto* a = static_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()); a; a = a->Next) {
        AdapterFacts facts;
        facts.mUp = a->OperStatus == IfOperStatusUp;
        // This walk has no loopback test: the loopback adapter has no DNS-eligible address.
        facts.mLoopback = false;
        facts.mHasIpv4 = facts.mUp && HasUsableIpv4(*a);
        facts.mHasAddress = true;
        for (std::size_t i = 0; i < facts.mAddress.size(); ++i) {
            facts.mAddress[i] = a->PhysicalAddress[i];
        }
        adapters.push_back(facts);
    }
    return true;
}

} // namespace qrnv

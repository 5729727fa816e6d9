#pragma once
// The machine's network adapter address, as the update service identifies a machine by it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrnv {

// The physical address of the first adapter that is up and has a usable IPv4 address,
// six bytes as "%X" each joined by ":" (00 1A 2B 03 4C 5D gives 0:1A:2B:3:4C:5D). Cached
// for the process once found; while none is found every call looks again. False when there
// is no such adapter.
// Windows: GetAdaptersAddresses (IPv4, no DNS servers); the address must be DNS-eligible,
// not transient and 16 bytes long. POSIX: getifaddrs; the interface must be up and running,
// not loopback, with an IPv4 address and a 6-byte hardware address.
bool GetMacAddress(std::wstring& out);

// What the walk needs to know of one adapter, in the system's order.
struct AdapterFacts {
    bool mUp = false;
    bool mLoopback = false;
    bool mHasIpv4 = false;
    bool mHasAddress = false;
    std::array<std::uint8_t, 6> mAddress{};
};

// The text of the first adapter that is up, not loopback, has an IPv4 address and a
// physical address; nullopt when none is.
std::optional<std::wstring> ChooseMacAddress(const std::vector<AdapterFacts>& adapters);

std::wstring FormatMacAddress(const std::array<std::uint8_t, 6>& address);

// The platform's adapters in the system's order; false when they could not be listed.
bool ListAdapters(std::vector<AdapterFacts>& adapters);

} // namespace qrnv

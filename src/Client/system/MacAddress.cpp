#include "Client/system/MacAddress.h"

#include <mutex>

#include "sdk/text/Format.h"

namespace qrnv {
namespace {

std::mutex gMacLock;
std::wstring gMacAddress;

} // namespace

std::wstring FormatMacAddress(const std::array<std::uint8_t, 6>& address)
{
    std::wstring text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) {
            text += L':';
        }
        text += FormatText(L"%X", address[i]);
    }
    return text;
}

std::optional<std::wstring> ChooseMacAddress(const std::vector<AdapterFacts>& adapters)
{
    for (const auto& a : adapters) {
        if (a.mUp && !a.mLoopback && a.mHasIpv4 && a.mHasAddress) {
            return FormatMacAddress(a.mAddress);
        }
    }
    return std::nullopt;
}

bool GetMacAddress(std::wstring& out)
{
    {
        std::lock_guard<std::mutex> lock(gMacLock);
        if (!gMacAddress.empty()) {
            out = gMacAddress;
            return true;
        }
    }
    std::vector<AdapterFacts> adapters;
    if (!ListAdapters(adapters)) {
        return false;
    }
    const auto chosen = ChooseMacAddress(adapters);
    if (!chosen) {
        return false;
    }
    std::lock_guard<std::mutex> lock(gMacLock);
    if (gMacAddress.empty()) {
        gMacAddress = *chosen;
    }
    out = gMacAddress;
    return true;
}

} // namespace qrnv

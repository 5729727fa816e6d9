#include "Client/service/HttpSession.h"

#include <cstdlib>

namespace qrnv {
namespace {

std::uint32_t OverriddenTimeout(std::uint32_t fallback)
{
    const char* value = std::getenv(kHttpTimeoutEnvironment);
    if (!value || !*value) {
        return fallback;
    }
    char* end = nullptr;
    const unsigned long ms = std::strtoul(value, &end, 10);
    return (end && *end == '\0' && ms > 0 && ms <= fallback) ? static_cast<std::uint32_t>(ms) : fallback;
}

} // namespace

std::uint32_t HttpConnectTimeoutMs()
{
    return OverriddenTimeout(kHttpConnectTimeoutMs);
}

std::uint32_t HttpReceiveTimeoutMs()
{
    return OverriddenTimeout(kHttpReceiveTimeoutMs);
}

void SplitHostPort(const std::wstring& host, std::wstring& name, std::uint16_t& port)
{
    name = host;
    port = 0;
    const std::size_t colon = host.rfind(L':');
    // "[::1]:8080" keeps its brackets out of the name; a bare IPv6 address has no port.
    if (colon == std::wstring::npos || (host.find(L':') != colon && host.front() != L'[')) {
        return;
    }
    const std::wstring digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return;
    }
    const unsigned long value = std::wcstoul(digits.c_str(), nullptr, 10);
    if (value == 0 || value > 65535) {
        return;
    }
    name = host.substr(0, colon);
    if (name.size() >= 2 && name.front() == L'[' && name.back() == L']') {
        name = name.substr(1, name.size() - 2);
    }
    port = static_cast<std::uint16_t>(value);
}

} // namespace qrnv

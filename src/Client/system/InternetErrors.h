#pragma once
// The WinINet error numbers the client meets, named once. On POSIX the HTTP and download
// transports report their failures with these same numbers and texts.

#include <cstdint>
#include <string>

namespace qrnv {

inline constexpr std::uint32_t kInternetOutOfHandles = 12001;
inline constexpr std::uint32_t kInternetTimeout = 12002;
inline constexpr std::uint32_t kInternetInternalError = 12004;
inline constexpr std::uint32_t kInternetInvalidUrl = 12005;
inline constexpr std::uint32_t kInternetUnrecognizedScheme = 12006;
inline constexpr std::uint32_t kInternetNameNotResolved = 12007;
inline constexpr std::uint32_t kInternetCannotConnect = 12029;
inline constexpr std::uint32_t kInternetConnectionAborted = 12030;
inline constexpr std::uint32_t kInternetConnectionReset = 12031;
inline constexpr std::uint32_t kInternetSecCertDateInvalid = 12037;
inline constexpr std::uint32_t kInternetSecCertCnInvalid = 12038;
inline constexpr std::uint32_t kInternetInvalidCa = 12045;
inline constexpr std::uint32_t kInternetSecCertRevFailed = 12057;
inline constexpr std::uint32_t kHttpInvalidServerResponse = 12152;
inline constexpr std::uint32_t kInternetSecurityChannelError = 12157;
inline constexpr std::uint32_t kInternetSecCertRevoked = 12170;

// The English message of a WinINet number; empty for numbers outside the table.
std::wstring InternetErrorMessage(std::uint32_t code);

} // namespace qrnv

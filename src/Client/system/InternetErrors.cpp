#include "Client/system/InternetErrors.h"

namespace qrnv {
namespace {

struct Entry {
    std::uint32_t code;
    const wchar_t* text;
};

constexpr Entry kMessages[] = {
    {kInternetOutOfHandles, L"No more handles could be generated at this time."},
    {kInternetTimeout, L"The operation timed out."},
    {kInternetInternalError, L"An internal error occurred."},
    {kInternetInvalidUrl, L"The URL is invalid."},
    {kInternetUnrecognizedScheme, L"The URL scheme could not be recognized, or is not supported."},
    {kInternetNameNotResolved, L"The server name could not be resolved."},
    {kInternetCannotConnect, L"The attempt to connect to the server failed."},
    {kInternetConnectionAborted, L"The connection with the server was terminated abnormally."},
    {kInternetConnectionReset, L"The connection with the server was reset."},
    {kInternetSecCertDateInvalid, L"The date in the certificate is invalid or has expired."},
    {kInternetSecCertCnInvalid, L"The host name in the certificate is invalid or does not match."},
    {kInternetInvalidCa, L"The certificate authority is invalid or incorrect."},
    {kInternetSecCertRevFailed, L"Certificate revocation check failed."},
    {kHttpInvalidServerResponse, L"The server response could not be parsed."},
    {kInternetSecurityChannelError, L"An error occurred in the secure channel support."},
    {kInternetSecCertRevoked, L"The certificate has been revoked."},
};

} // namespace

std::wstring InternetErrorMessage(std::uint32_t code)
{
    for (const auto& e : kMessages) {
        if (e.code == code) {
            return e.text;
        }
    }
    return {};
}

} // namespace qrnv

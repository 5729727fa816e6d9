#pragma once
// The objects of one management class with named properties: WMI over COM on Windows. On
// POSIX the class Win32_Product of the namespace ROOT\CIMV2 is served from the stand-in
// installer database (InstallerDatabase.h), one object per registered product, with the
// properties IdentifyingNumber, InstallLocation, Name, Version, InstallDate,
// InstallDate2 and Language.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qrnv {

// Status numbers as COM and WMI give them (HRESULT): negative is a failure.
inline constexpr std::int32_t kWmiOk = 0;                                            // WBEM_S_NO_ERROR
inline constexpr std::int32_t kWmiFalse = 1;                                         // WBEM_S_FALSE
inline constexpr std::int32_t kWmiTimedOut = 0x40004;                                // WBEM_S_TIMEDOUT
inline constexpr std::int32_t kWmiFailed = static_cast<std::int32_t>(0x80041001);           // WBEM_E_FAILED
inline constexpr std::int32_t kWmiNotFound = static_cast<std::int32_t>(0x80041002);         // WBEM_E_NOT_FOUND
inline constexpr std::int32_t kWmiInvalidNamespace = static_cast<std::int32_t>(0x8004100E); // WBEM_E_INVALID_NAMESPACE
inline constexpr std::int32_t kWmiInvalidQuery = static_cast<std::int32_t>(0x80041017);     // WBEM_E_INVALID_QUERY
inline constexpr std::int32_t kWmiInvalidQueryType = static_cast<std::int32_t>(0x80041018); // WBEM_E_INVALID_QUERY_TYPE

// One object of a query's result.
class WmiObject {
public:
    virtual ~WmiObject() = default;
    // The status of reading the property; on success text holds the value when it is a
    // text and is nullopt when it is anything else (a null, a number).
    virtual std::int32_t Get(const std::wstring& name, std::optional<std::wstring>& text) const = 0;
};

// One query on the calling thread, made step by step in this order; each step returns its
// status. Destroying the session releases whatever the steps made and then ends COM for
// the thread when InitializeCom began it. Objects from Next must be gone before that.
class WmiSession {
public:
    WmiSession();
    ~WmiSession();
    WmiSession(const WmiSession&) = delete;
    WmiSession& operator=(const WmiSession&) = delete;

    // COM for this thread in the multithreaded model.
    std::int32_t InitializeCom();
    // The process's COM security: default authentication, the server may impersonate the
    // caller, no capabilities. The process can set it only once: after the first success,
    // and when it was set already, later calls succeed without setting it again.
    std::int32_t InitializeSecurity();
    // The in-process locator.
    std::int32_t CreateLocator();
    // The namespace, with the current user's credentials.
    std::int32_t ConnectServer(const std::wstring& nameSpace);
    // Windows NT authentication, no authorisation service, call-level authentication,
    // impersonation.
    std::int32_t SetProxyBlanket();
    // Forward-only, returning at once.
    std::int32_t ExecQuery(const std::wstring& language, const std::wstring& query);
    // Waits at most timeoutMs for the next object. object is null when none came (the end
    // is kWmiFalse, a wait beyond the time kWmiTimedOut, or a failure).
    std::int32_t Next(std::uint32_t timeoutMs, std::unique_ptr<WmiObject>& object);

    // The system's message for a status of this session's steps, then " (%lu)" with it.
    std::wstring ErrorText(std::int32_t status) const;

    struct State;

private:
    std::unique_ptr<State> mState;
};

} // namespace qrnv

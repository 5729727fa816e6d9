#pragma once
// Writing a stub: a copy of a program whose version information names a product.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrnv::stub {

struct StubIdentity {
    std::optional<std::wstring> mProductName;
    std::optional<std::wstring> mProductVersion;
    std::optional<std::wstring> mComments;
    std::uint16_t mLanguage = 0x0409; // US English
    std::uint16_t mCodePage = 0x04B0; // Unicode
};

// Exit codes of make-stub.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFile = 2;
inline constexpr int kExitNoVersionInfo = 3;
inline constexpr int kExitCannotWrite = 4;

// Copies from to to and replaces the copy's version information with the identity: one
// translation with the strings given. On failure no copy is left and error says why.
int WriteStub(const std::wstring& from, const std::wstring& to, const StubIdentity& identity, std::wstring& error);

// The command line's work: arguments without the program's own path.
int RunMakeStub(const std::vector<std::wstring>& arguments);

} // namespace qrnv::stub

// make-stub: writes a copy of the client that carries a product's identity, as the stub that
// a product ships and that the client itself starts for a major upgrade.
//
//   make-stub [--from PROGRAM] [--product-name TEXT] [--product-version TEXT]
//             [--comments TEXT] [--translation LLLLCCCC] OUTPUT
//
// PROGRAM is the client beside make-stub by default. The copy's version information is
// replaced by one translation (040904b0 unless given) holding the strings given. The
// copy, started without product options, takes the product's identity from there; the
// comments may carry "$A:<affiliate id>" and "$L:<language id>" segments, or a bare
// language id. Exit codes: 0 done, 1 usage, 2 a file could not be read or written, 3 the
// program has no version information to replace, 4 the strings could not be written.

#include "StubWriter.h"

#include <cstdio>

#include "Client/system/ModulePath.h"
#include "Client/system/Platform.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::stub {
namespace {

int Usage(const char* problem)
{
    std::fprintf(stderr,
                 "make-stub: %s\n"
                 "usage: make-stub [--from PROGRAM] [--product-name TEXT] [--product-version TEXT]\n"
                 "                 [--comments TEXT] [--translation LLLLCCCC] OUTPUT\n",
                 problem);
    return kExitUsage;
}

bool ParseTranslation(const std::wstring& hex, StubIdentity& identity)
{
    if (hex.size() != 8) {
        return false;
    }
    std::uint32_t value = 0;
    for (wchar_t c : hex) {
        int d = -1;
        if (c >= L'0' && c <= L'9') {
            d = c - L'0';
        } else if (c >= L'a' && c <= L'f') {
            d = c - L'a' + 10;
        } else if (c >= L'A' && c <= L'F') {
            d = c - L'A' + 10;
        }
        if (d < 0) {
            return false;
        }
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    identity.mLanguage = static_cast<std::uint16_t>(value >> 16);
    identity.mCodePage = static_cast<std::uint16_t>(value & 0xFFFF);
    return true;
}

// The client in make-stub's own folder.
std::wstring DefaultProgram()
{
    const std::wstring self = GetModulePath();
    const std::size_t slash = self.rfind(kPathSeparator);
    return slash == std::wstring::npos ? std::wstring() : self.substr(0, slash + 1) + kProgramFileName;
}

} // namespace

int RunMakeStub(const std::vector<std::wstring>& arguments)
{
    StubIdentity identity;
    std::wstring from;
    std::vector<std::wstring> files;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (arg == L"--from" || arg == L"--product-name" || arg == L"--product-version" || arg == L"--comments" ||
            arg == L"--translation") {
            if (!hasValue) {
                return Usage("a value is missing");
            }
            const std::wstring& value = arguments[++i];
            if (arg == L"--from") {
                from = value;
            } else if (arg == L"--product-name") {
                identity.mProductName = value;
            } else if (arg == L"--product-version") {
                identity.mProductVersion = value;
            } else if (arg == L"--comments") {
                identity.mComments = value;
            } else if (!ParseTranslation(value, identity)) {
                return Usage("--translation needs 8 hex digits");
            }
        } else if (arg.size() > 1 && arg[0] == L'-') {
            return Usage("unknown option");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        return Usage("OUTPUT is needed");
    }
    if (from.empty()) {
        from = DefaultProgram();
    }
    std::wstring error;
    const int result = WriteStub(from, files[0], identity, error);
    if (result != kExitOk) {
        std::fprintf(stderr, "make-stub: %s\n", WideToUtf8(error).c_str());
    }
    return result;
}

} // namespace qrnv::stub

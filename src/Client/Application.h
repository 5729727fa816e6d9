#pragma once
// The application object: the whole run from the command line to the exit code.

#include <cstdint>

namespace qrnv {

// The program's own version.
inline constexpr const wchar_t* kRenovaVersion = L"10.0.29";

class QuarnRenova {
public:
    QuarnRenova() = default;
    virtual ~QuarnRenova() = default;

    // The whole run; the dialog's end code is kept for ExitInstance. Always true.
    virtual bool InitInstance();
    // The process exit code.
    virtual std::int32_t ExitInstance();

    std::int32_t mExitCode = 0;
};

} // namespace qrnv

#pragma once
// The update dialog. For now only its modal run, which ends at once with exit code 0; the
// state machine and its windows build on this interface.

#include <cstdint>

#include "Client/CmdLineInfo.h"
#include "Client/system/Thread.h"

namespace qrnv {

class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog() = default;

    // Runs the dialog modally; its end code becomes the process exit code.
    virtual std::int32_t DoModal();

    CmdLineInfo* mCmdLine = nullptr;
    ThreadHandle mBannerThread = kNoThread;
};

} // namespace qrnv

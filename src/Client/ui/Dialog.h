#pragma once
// The update dialog. For now only its modal run: it runs the driver's check on a thread of
// its own, logs the result and ends with 0; the state machine and its windows build on this.

#include <cstdint>

#include "Client/CmdLineInfo.h"
#include "Client/service/UpdaterBase.h"
#include "Client/system/Thread.h"

namespace qrnv {

class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog() = default;

    // Runs the dialog modally; its end code becomes the process exit code.
    virtual std::int32_t DoModal();

    CmdLineInfo* mCmdLine = nullptr;
    UpdaterBase* mDriver = nullptr;
    ThreadHandle mBannerThread = kNoThread;
    std::int32_t mUpdateResult = 1;
    std::uint32_t mUpdateId = 0;
};

} // namespace qrnv

// qrnv_handoff_probe: the client's update run without its dialog, so the hand-off to the
// worker can be watched from outside. It parses its command line as the client does, runs
// the driver's check and, when that offers a worker, StartWorker, which ends the process
// with the worker's exit code (or 0). What happened is written to stdout.
//
// Exit codes of its own: 100 + the check's result when it offers no worker, 200 + the
// StartWorker result when StartWorker returned.

#include <cstdio>
#include <memory>

#include "Client/CmdLineInfo.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/service/DownloadCallback.h"
#include "Client/service/QuickCheck.h"
#include "Client/system/ProcessArguments.h"

namespace {

constexpr int kNoWorkerOffered = 100;
constexpr int kStartWorkerReturned = 200;

// Flushed at once: StartWorker may end the process right after.
void Say(const char* what, int value)
{
    std::printf("%s %d\n", what, value);
    std::fflush(stdout);
}

// The dialog's window as the driver sees it: a fixed position, hiding reported.
class ProbeWindow : public qrnv::DriverWindow {
public:
    void DisallowShowingAndHide() override { Say("window hidden", 1); }
    bool GetScreenTopLeft(int& left, int& top) override
    {
        left = 100;
        top = 200;
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
#ifndef _WIN32
    qrnv::SetProcessArguments(argc, argv);
#endif
    auto cmdLine = std::make_unique<qrnv::CmdLineInfo>();
    cmdLine->ParseCommandLine(qrnv::GetProcessArguments());
    qrnv::ProgramInfo record = cmdLine->mProductInfo;
    qrnv::CompleteProgramInfo(record);
    qrnv::SetUpLog(qrnv::GetProgramInfo().mProgramName);

    ProbeWindow window;
    qrnv::QuickCheck driver;
    driver.mCmdLine = cmdLine.get();
    driver.mWindow = &window;
    const qrnv::UpdateOutcome check = driver.Run();
    Say("Run", check.mResult);
    if (check.mResult != qrnv::NEW_WORKER_AVAILABLE && check.mResult != qrnv::OLD_WORKER_AVAILABLE) {
        return kNoWorkerOffered + check.mResult;
    }
    qrnv::DownloadCallback callback;
    const qrnv::UpdateOutcome started = driver.StartWorker(callback);
    Say("StartWorker", started.mResult);
    return kStartWorkerReturned + started.mResult;
}

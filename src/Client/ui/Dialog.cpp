#include "Client/ui/Dialog.h"

#include "Client/Log.h"

namespace qrnv {
namespace {

unsigned CheckThread(void* p)
{
    auto* dialog = static_cast<Dialog*>(p);
    const UpdateOutcome outcome = dialog->mDriver->Run();
    dialog->mUpdateResult = outcome.mResult;
    dialog->mUpdateId = outcome.mDetail;
    return 0;
}

} // namespace

std::int32_t Dialog::DoModal()
{
    if (!mDriver) {
        return 0;
    }
    ThreadHandle thread;
    if (!StartThread(thread, CheckThread, this)) {
        LogError(L"Can\u00b4t create update thread");
        return 0;
    }
    WaitForThread(thread, 0xFFFFFFFFu);
    CloseThread(thread);
    LogInfo(L"UpdateResult %d", mUpdateResult);
    return 0;
}

} // namespace qrnv

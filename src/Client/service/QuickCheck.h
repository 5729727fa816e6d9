#pragma once
// The update driver: decides from the service's answer what is on offer, and hands the
// update over to the worker.

#include <string>

#include "Client/service/UpdaterBase.h"

namespace qrnv {

class QuickCheck : public UpdaterBase {
public:
    QuickCheck() = default;
    ~QuickCheck() override = default;

    UpdateOutcome Run() override;
    UpdateOutcome StartWorker(DownloadCallback& callback) override;

    // The check interval: false when the last check lies less than the interval ago.
    bool IsCheckDue();
    // Takes the fields from the answer document; an answer that does not parse changes nothing.
    void ReadResponse(const std::string& answer);

    std::wstring mRenovaWorkerUrl;

private:
    UpdateResult Decide();
    void StoreCheckResult(UpdateResult result);
};

// The text stored as UpdateResultString for a result, in the language, with the product
// name replaced by the window caption where it is set; flag for UpdateResult. False when the
// result stores nothing.
bool CheckResultMessage(UpdateResult result, int language, const std::wstring& windowCaption, std::uint32_t& flag,
                        std::wstring& text);

// The message stored when the worker reports that another client is running.
std::wstring OtherInstanceMessage(int language, const std::wstring& windowCaption);

// True when the system reports a network connection.
bool IsInternetConnected();

} // namespace qrnv

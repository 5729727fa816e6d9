#pragma once
// The HTTP handlers of the stand-in update service, shared by its plain and TLS listeners.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <httplib.h>

#include "Catalog.h"
#include "Journal.h"

namespace qrnv::standin {

struct ServiceSettings {
    std::string catalogPath;          // empty: an empty catalog
    std::string filesDir;             // empty: no files are served
    std::optional<Fault> optionFault; // from --fault
    bool verbose = false;
};

class ServiceState {
public:
    ServiceState(ServiceSettings settings, Journal& journal);

    const ServiceSettings& Settings() const { return mSettings; }
    Journal& GetJournal() { return mJournal; }

    // The listeners' own addresses ("http://127.0.0.1:8080"), set before they start serving.
    void SetBase(const std::string& listener, const std::string& base);
    std::string Base(const std::string& listener) const;

    // Wakes every delayed answer and ends every streamed one.
    void RequestStop();
    bool Stopping() const;
    // Waits the delay; false when the service is stopping first.
    bool Sleep(std::chrono::milliseconds delay);

private:
    ServiceSettings mSettings;
    Journal& mJournal;
    std::map<std::string, std::string> mBases;
    mutable std::mutex mLock;
    std::condition_variable mStopSignal;
    bool mStopping = false;
};

// Installs the service methods and the file routes on a listener named `listener`
// ("http" or "https").
void InstallHandlers(httplib::Server& server, ServiceState& state, const std::string& listener);

} // namespace qrnv::standin

#pragma once
// What the end-to-end tests of the client need: programs started with their own
// environment, the stand-in service on loopback, the client's log and the service's journal
// read back, and the platform the client runs on (natively, or the Windows build under Wine).

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace qrnv::e2e {

using test::Environment;
using test::ProgramResult;
using test::ReadFileBytes;
using test::RunProgram;
using test::WriteFileAtomically;
using ScratchFolder = test::ScopedFolder;

// The stand-in service, running until the object goes.
class StandInService {
public:
    // Starts it on the listeners; false when it did not come up (its output says why).
    // exitCode tells a failed start's code (3: a listener could not be bound).
    bool Start(const std::string& program, const std::string& folder, const std::string& listen,
               const std::string& tlsListen, int* exitCode = nullptr);
    ~StandInService();

    // "http://127.0.0.1:PORT" of the plain listener.
    std::string Base() const { return mBase; }
    std::string FilesFolder() const { return mFolder + "/files"; }
    bool WriteCatalog(const nlohmann::json& catalog);
    // Journal entries from the index on (one a request); Count() for the index to start at.
    std::vector<nlohmann::json> Journal(std::size_t from = 0) const;
    std::size_t Count() const { return Journal().size(); }
    std::string Output() const;

private:
    std::string mFolder;
    std::string mBase;
    test::ChildProcess mProcess;
};

// One line of the client's log (source tag "QRNV"): its level ("INF", "WAR", "ERR", ...)
// and its text, as the log's bytes (Latin-1).
struct LogLine {
    std::string level;
    std::string message;
};
std::vector<LogLine> ParseLog(const std::string& bytes);

// The value NAME in the output of "reg query KEY /v NAME": its type ("REG_SZ",
// "REG_DWORD") and data as printed; nothing when it is not there.
std::optional<std::pair<std::string, std::string>> ParseRegQuery(const std::string& output, const std::string& name);

// A loopback port that nothing listens on.
int UnusedLoopbackPort();
// True when an interface other than loopback is up with an address (the client then counts
// the machine as online).
bool NetworkInterfaceUp();

// Where and how the client runs.
class ClientPlatform {
public:
    virtual ~ClientPlatform() = default;
    virtual std::string Name() const = 0;
    // An empty text when the platform can run the tests, else why not.
    virtual std::string Unavailable() const = 0;

    // The client's temporary path as a host path, with its final "/".
    virtual std::string TempFolder() const = 0;
    // The same as the client names it, with its final separator.
    virtual std::string ClientTempFolder() const = 0;
    // A host path as the client names it, and back.
    virtual std::string ClientPath(const std::string& hostPath) const = 0;
    virtual std::string HostPath(const std::string& clientPath) const = 0;
    // The separator of the client's paths.
    virtual char Separator() const = 0;

    // Runs the client (or the probe) with the arguments and environment.
    virtual ProgramResult Run(const std::string& program, const std::vector<std::string>& arguments,
                              const Environment& environment, bool withoutNetwork = false) = 0;

    // The registry as reg.exe sees it: KEY like "HKCU\Software\...".
    virtual bool RegAddText(const std::string& key, const std::string& name, const std::string& text) = 0;
    // The value's type ("REG_SZ", "REG_DWORD") and data as reg query prints them.
    virtual std::optional<std::pair<std::string, std::string>> RegQuery(const std::string& key,
                                                                       const std::string& name) = 0;
    virtual void RegDeleteKey(const std::string& key) = 0;

    std::string mClient;   // the client program
    std::string mProbe;    // qrnv_handoff_probe
    std::string mWorker;   // the stand-in worker and ad viewer of the client's platform
    std::string mAdViewer;
};

// Natively: the client in a registry store and temporary path of the test's own.
std::unique_ptr<ClientPlatform> MakeNativePlatform(const std::string& binFolder, const std::string& scratch);
// The Windows build under Wine, in the prefix WINEPREFIX names, started by wineRun.
std::unique_ptr<ClientPlatform> MakeWinePlatform(const std::string& wineRun, const std::string& winBinFolder);

} // namespace qrnv::e2e

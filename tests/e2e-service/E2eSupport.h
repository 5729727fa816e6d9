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

namespace qrnv::e2e {

using Environment = std::vector<std::pair<std::string, std::string>>;

struct ProgramResult {
    std::optional<int> exitCode; // nothing: it did not start, or ran past its limit (then killed)
    std::string output;          // stdout and stderr
};

// Runs a program (an absolute path) to its end. The environment entries replace ours of the
// same name; an empty value removes the variable.
ProgramResult RunProgram(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

std::string ReadFile(const std::string& path);
bool WriteFileAtomically(const std::string& path, const std::string& content);
bool CopyFile(const std::string& from, const std::string& to);

// A folder under /tmp, removed with everything in it at the end. Path() has no final "/".
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return mPath; }

private:
    std::string mPath;
};

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
    int mPid = -1;
};

// One line of the client's log: its level ("INF", "WAR", "ERR", ...) and its text, as the
// log's bytes (Latin-1).
struct LogLine {
    std::string level;
    std::string message;
};
std::vector<LogLine> ParseLog(const std::string& bytes);

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

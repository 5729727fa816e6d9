#pragma once
// One run of the real client in a sandbox of its own (registry store, temporary folder,
// install folder), with what it left behind read back: exit code, time, log, registry.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "E2eSupport.h"

namespace qrnv::e2e {

inline const std::string kSettingsKey = "Software\\Quarn\\Quarn Renova";

// The programs of this build, beside the test program.
std::string BinFolder();

// A client's own registry store, temporary folder and install folder below root.
struct Sandbox {
    explicit Sandbox(const std::string& root);
    std::string registry; // QRNV_REGISTRY_ROOT
    std::string temp;     // TMPDIR, with its final "/"
    std::string install;
    // The product's temporary folder (the worker's place), with its final "/".
    std::string ProductFolder(const std::string& product) const;
    std::string LogFolder() const { return temp + "Quarn Software/Quarn Renova/"; }
};

// The registry as qrnv-reg sees it in a store: KEY like "HKCU\Software\...".
bool RegAddText(const std::string& registry, const std::string& key, const std::string& name, const std::string& text);
// The value's type ("REG_SZ", "REG_DWORD") and data as reg query prints them; nothing when
// the value is missing or the store does not read.
std::optional<std::pair<std::string, std::string>> RegQuery(const std::string& registry, const std::string& key,
                                                            const std::string& name);

struct ClientOutcome {
    std::optional<int> exitCode; // nothing: killed at the limit
    std::chrono::milliseconds took{0};
    std::string output;
    std::vector<std::string> logFiles;
    std::string logBytes; // all log files, in name order
    std::vector<LogLine> log;

    bool Logged(const std::string& level, const std::string& message) const;
    bool LoggedStart(const std::string& level, const std::string& start) const;
    std::string Describe() const;
};

// The client's command line for the product: the usual product options, then the extra ones.
std::vector<std::string> ClientCommand(const Sandbox& sandbox, const std::string& product,
                                       const std::vector<std::string>& extra);

// Runs the client for the product with the usual product options, then the extra ones;
// environment entries replace the sandbox's. Killed once it runs past the limit.
ClientOutcome RunClient(const Sandbox& sandbox, const std::string& product, const std::vector<std::string>& extra,
                        const Environment& environment, std::chrono::milliseconds limit);

} // namespace qrnv::e2e

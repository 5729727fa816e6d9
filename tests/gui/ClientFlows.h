#pragma once
// The full client's interactive flows through its real window: each case of one table
// starts quarnrenova.exe against the stand-in service on loopback, works the window as a
// user would, and checks the window's displays, the exit code, the reports in the
// service's journal, the registry values and the stand-in worker's command line.

#include <cstdint>
#include <string>

namespace qrnv::gui {

struct ClientFlowOptions {
    std::wstring mClient;        // quarnrenova.exe, a Windows path
    std::wstring mWorker;        // the stand-in QuarnRenovaWorker.exe, a Windows path
    std::wstring mShotFolder;    // screenshots, a Linux path
    std::wstring mServiceFolder; // the service's catalog.json and journal.jsonl, a Windows path
    std::wstring mServiceBase;   // "http://127.0.0.1:PORT"
    std::int32_t mLanguage = 1033;
    std::wstring mOnly;          // one case by name, or empty for all
};

// 0 when every check of every case held.
int RunClientFlows(const ClientFlowOptions& options);

} // namespace qrnv::gui

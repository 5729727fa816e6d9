#include "E2eSupport.h"

#include "support/LogLines.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace qrnv::e2e {

namespace {

namespace fs = std::filesystem;

std::string TrimLineEnds(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}


class NativePlatform : public ClientPlatform {
public:
    NativePlatform(const std::string& binFolder, const std::string& scratch)
        : mReg(binFolder + "/qrnv-reg"), mRegistry(scratch + "/registry"), mTemp(scratch + "/tmp/")
    {
        fs::create_directories(mRegistry);
        fs::create_directories(mTemp);
        mClient = binFolder + "/quarnrenova";
        mProbe = binFolder + "/qrnv_handoff_probe";
        mWorker = binFolder + "/QuarnRenovaWorker";
        mAdViewer = binFolder + "/QuarnAdViewer";
    }
    std::string Name() const override { return "native"; }
    std::string Unavailable() const override { return {}; }
    std::string TempFolder() const override { return mTemp; }
    std::string ClientTempFolder() const override { return mTemp; }
    std::string ClientPath(const std::string& hostPath) const override { return hostPath; }
    std::string HostPath(const std::string& clientPath) const override { return clientPath; }
    char Separator() const override { return '/'; }

    ProgramResult Run(const std::string& program, const std::vector<std::string>& arguments, const Environment& environment,
                      bool withoutNetwork) override
    {
        std::vector<std::string> argv;
        if (withoutNetwork) {
            argv = {"/usr/bin/unshare", "-n", "--"};
        }
        argv.push_back(program);
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        Environment env = environment;
        env.emplace_back("TMPDIR", mTemp);
        env.emplace_back("QRNV_REGISTRY_ROOT", mRegistry);
        return RunProgram(argv, env);
    }

    bool RegAddText(const std::string& key, const std::string& name, const std::string& text) override
    {
        return Reg({"add", key, "/v", name, "/t", "REG_SZ", "/d", text, "/f"}).exitCode == 0;
    }
    std::optional<std::pair<std::string, std::string>> RegQuery(const std::string& key, const std::string& name) override
    {
        const ProgramResult r = Reg({"query", key, "/v", name});
        return r.exitCode == 0 ? ParseRegQuery(r.output, name) : std::nullopt;
    }
    void RegDeleteKey(const std::string& key) override { Reg({"delete", key, "/f"}); }

private:
    ProgramResult Reg(std::vector<std::string> args)
    {
        args.insert(args.begin(), mReg);
        return RunProgram(args, {{"QRNV_REGISTRY_ROOT", mRegistry}});
    }

    std::string mReg;
    std::string mRegistry;
    std::string mTemp;
};

class WinePlatform : public ClientPlatform {
public:
    WinePlatform(const std::string& wineRun, const std::string& winBinFolder) : mWineRun(wineRun)
    {
        mClient = ClientPath(winBinFolder + "/quarnrenova.exe");
        mProbe = ClientPath(winBinFolder + "/qrnv_handoff_probe.exe");
        mWorker = winBinFolder + "/QuarnRenovaWorker.exe";
        mAdViewer = winBinFolder + "/QuarnAdViewer.exe";
        const char* prefix = std::getenv("WINEPREFIX");
        if (!prefix || !*prefix || !fs::is_directory(prefix)) {
            mUnavailable = "WINEPREFIX does not name a Wine prefix";
            return;
        }
        mPrefix = prefix;
        for (const std::string& program : {winBinFolder + "/quarnrenova.exe", winBinFolder + "/qrnv_handoff_probe.exe"}) {
            if (!fs::exists(program)) {
                mUnavailable = program + " is not built";
                return;
            }
        }
        // The prefix's own temporary folder, as the client will find it.
        const ProgramResult r = RunProgram({mWineRun, "cmd", "/c", "echo %TEMP%"}, {});
        const std::string temp = TrimLineEnds(r.output.substr(0, r.output.find('\n')));
        if (r.exitCode != 0 || temp.size() < 3 || temp[1] != ':') {
            mUnavailable = "no temporary folder in the Wine prefix: " + r.output;
            return;
        }
        mTemp = HostPath(temp) + "/";
        mClientTemp = temp + "\\";
    }
    std::string Name() const override { return "wine"; }
    std::string Unavailable() const override { return mUnavailable; }
    std::string TempFolder() const override { return mTemp; }
    std::string ClientTempFolder() const override { return mClientTemp; }
    std::string ClientPath(const std::string& hostPath) const override
    {
        std::string out = "Z:" + hostPath;
        for (char& c : out) {
            c = c == '/' ? '\\' : c;
        }
        return out;
    }
    std::string HostPath(const std::string& clientPath) const override
    {
        if (clientPath.size() < 2 || clientPath[1] != ':') {
            return clientPath;
        }
        std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(clientPath[0]))));
        std::error_code error;
        const fs::path root = fs::canonical(fs::path(mPrefix) / "dosdevices" / (drive + ":"), error);
        std::string rest = clientPath.substr(2);
        for (char& c : rest) {
            c = c == '\\' ? '/' : c;
        }
        std::string base = error ? std::string() : root.string();
        if (!base.empty() && base.back() == '/') {
            base.pop_back();
        }
        return base + rest;
    }
    char Separator() const override { return '\\'; }

    ProgramResult Run(const std::string& program, const std::vector<std::string>& arguments, const Environment& environment,
                      bool) override
    {
        std::vector<std::string> argv = {mWineRun, program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProgram(argv, environment);
    }

    bool RegAddText(const std::string& key, const std::string& name, const std::string& text) override
    {
        return RunProgram({mWineRun, "reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", text, "/f"}, {}).exitCode == 0;
    }
    std::optional<std::pair<std::string, std::string>> RegQuery(const std::string& key, const std::string& name) override
    {
        const ProgramResult r = RunProgram({mWineRun, "reg", "query", key, "/v", name}, {});
        return r.exitCode == 0 ? ParseRegQuery(r.output, name) : std::nullopt;
    }
    void RegDeleteKey(const std::string& key) override { RunProgram({mWineRun, "reg", "delete", key, "/f"}, {}); }

private:
    std::string mWineRun;
    std::string mPrefix;
    std::string mTemp;
    std::string mClientTemp;
    std::string mUnavailable;
};

} // namespace

// The value line of a reg query output: "    NAME    TYPE    DATA", DATA up to the end
// (a text may hold line feeds).
std::optional<std::pair<std::string, std::string>> ParseRegQuery(const std::string& output, const std::string& name)
{
    const std::string head = "\n    " + name + "    ";
    const std::size_t at = output.find(head);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t typeStart = at + head.size();
    const std::size_t typeEnd = output.find("    ", typeStart);
    if (typeEnd == std::string::npos) {
        return std::nullopt;
    }
    return std::make_pair(output.substr(typeStart, typeEnd - typeStart), TrimLineEnds(output.substr(typeEnd + 4)));
}

bool StandInService::Start(const std::string& program, const std::string& folder, const std::string& listen,
                           const std::string& tlsListen, int* exitCode)
{
    mFolder = folder;
    fs::create_directories(FilesFolder());
    if (!fs::exists(folder + "/catalog.json") && !WriteCatalog(nlohmann::json::object())) {
        return false;
    }
    std::vector<std::string> argv = {program,         "--listen",  listen,
                                     "--catalog",     folder + "/catalog.json",
                                     "--files",       FilesFolder(),
                                     "--journal",     folder + "/journal.jsonl",
                                     "--port-file",   folder + "/ports",
                                     "--exit-after",  "300"};
    if (!tlsListen.empty()) {
        argv.insert(argv.end(), {"--tls-listen", tlsListen});
    }
    if (!mProcess.Start(argv, {}, folder + "/service.log")) {
        return false;
    }
    for (int i = 0; i < 3000; ++i) {
        const std::string ports = ReadFileBytes(folder + "/ports");
        const std::size_t at = ports.find("http=");
        if (at != std::string::npos) {
            const std::string port = ports.substr(at + 5, ports.find('\n', at) - at - 5);
            const std::string address = listen.substr(0, listen.rfind(':'));
            mBase = "http://" + address + (port == "80" ? "" : ":" + port);
            return true;
        }
        if (const auto code = mProcess.WaitFor(std::chrono::milliseconds(0))) {
            if (exitCode) {
                *exitCode = *code;
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

StandInService::~StandInService()
{
    if (mProcess.Running()) {
        mProcess.Signal(SIGTERM);
        mProcess.WaitFor(std::chrono::seconds(10)); // past that the process object kills it
    }
}

bool StandInService::WriteCatalog(const nlohmann::json& catalog)
{
    return WriteFileAtomically(mFolder + "/catalog.json", catalog.dump(2));
}

std::vector<nlohmann::json> StandInService::Journal(std::size_t from) const
{
    std::vector<nlohmann::json> entries;
    std::istringstream in(ReadFileBytes(mFolder + "/journal.jsonl"));
    std::string line;
    while (std::getline(in, line)) {
        const auto entry = nlohmann::json::parse(line, nullptr, false);
        if (!entry.is_discarded()) {
            entries.push_back(entry);
        }
    }
    if (from >= entries.size()) {
        return {};
    }
    return std::vector<nlohmann::json>(entries.begin() + static_cast<std::ptrdiff_t>(from), entries.end());
}

std::string StandInService::Output() const
{
    return ReadFileBytes(mFolder + "/service.log");
}

std::vector<LogLine> ParseLog(const std::string& bytes)
{
    std::vector<LogLine> lines;
    for (const std::string& line : test::SplitLogLines(bytes).lines) {
        const auto parsed = test::ParseLogLine(line);
        if (parsed && parsed->tag == "QRNV") {
            lines.push_back({parsed->level, parsed->body});
        }
    }
    return lines;
}

int UnusedLoopbackPort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (s >= 0) {
        close(s);
    }
    return port;
}

bool NetworkInterfaceUp()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return false;
    }
    bool up = false;
    for (ifaddrs* i = list; i && !up; i = i->ifa_next) {
        up = i->ifa_addr && (i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING) && !(i->ifa_flags & IFF_LOOPBACK) &&
             (i->ifa_addr->sa_family == AF_INET || i->ifa_addr->sa_family == AF_INET6);
    }
    freeifaddrs(list);
    return up;
}

std::unique_ptr<ClientPlatform> MakeNativePlatform(const std::string& binFolder, const std::string& scratch)
{
    return std::make_unique<NativePlatform>(binFolder, scratch);
}

std::unique_ptr<ClientPlatform> MakeWinePlatform(const std::string& wineRun, const std::string& winBinFolder)
{
    return std::make_unique<WinePlatform>(wineRun, winBinFolder);
}

} // namespace qrnv::e2e

#include "Client/system/Process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Client/Log.h"
#include "Client/system/CommandLineText.h"
#include "Client/system/LastError.h"
#include "sdk/text/TextConvert.h"

extern char** environ;

namespace qrnv {
namespace {

// A worker's exit status 255 is the Windows exit code -1 ("another client is running").
constexpr int kExitStatusMinusOne = 255;
constexpr std::uint32_t kExitCodeMinusOne = 0xFFFFFFFFu;
// A program ended by a signal: 128 + the signal, as the shells report it.
constexpr std::uint32_t kSignalExitBase = 128;

class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&mActions);
        posix_spawnattr_init(&mAttributes);
        // No descriptor of ours reaches the program, as CreateProcess inherits no handles.
        posix_spawn_file_actions_addclosefrom_np(&mActions, 3);
        // Nor our signal mask and ignored signals.
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&mAttributes, &none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        posix_spawnattr_setsigdefault(&mAttributes, &all);
        posix_spawnattr_setflags(&mAttributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&mActions);
        posix_spawnattr_destroy(&mAttributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* Actions() const { return &mActions; }
    const posix_spawnattr_t* Attributes() const { return &mAttributes; }

private:
    posix_spawn_file_actions_t mActions;
    posix_spawnattr_t mAttributes;
};

// The first executable "name" on PATH; empty when there is none.
std::string FindOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string dir = end > start ? list.substr(start, end - start) : std::string(".");
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Starts program with the arguments (argv[0] included); searchPath as execvp does. 0 or errno.
int Spawn(const std::string& program, const std::vector<std::string>& args, bool searchPath, pid_t& pid)
{
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const SpawnSetup setup;
    return searchPath ? posix_spawnp(&pid, program.c_str(), setup.Actions(), setup.Attributes(), argv.data(), environ)
                      : posix_spawn(&pid, program.c_str(), setup.Actions(), setup.Attributes(), argv.data(), environ);
}

std::uint32_t ExitCodeOf(int status)
{
    if (WIFEXITED(status)) {
        const int code = WEXITSTATUS(status);
        return code == kExitStatusMinusOne ? kExitCodeMinusOne : static_cast<std::uint32_t>(code);
    }
    if (WIFSIGNALED(status)) {
        return kSignalExitBase + static_cast<std::uint32_t>(WTERMSIG(status));
    }
    return 0;
}

// 0 with the exit code, or errno when the status could not be read.
std::uint32_t WaitForExit(pid_t pid, std::uint32_t& exitCode)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return static_cast<std::uint32_t>(errno);
        }
    }
    exitCode = ExitCodeOf(status);
    return 0;
}

// A program that nobody waits for is still reaped when it ends.
void ReapInBackground(pid_t pid)
{
    try {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // Without a thread the ended program stays a zombie until we end; nothing is lost.
    }
}

std::uint32_t StartFailed(const std::wstring& path, int error)
{
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    LogError(L"StartProcess for %s failed because: \"%s\"", path, GetLastErrorText());
    return static_cast<std::uint32_t>(error);
}

std::vector<std::string> ToUtf8(const std::vector<std::wstring>& args)
{
    std::vector<std::string> out;
    for (const auto& a : args) {
        out.push_back(WideToUtf8(a));
    }
    return out;
}

} // namespace

std::uint32_t StartProcess(const std::wstring& path, const std::wstring& arguments, bool wait, std::uint32_t& exitCode,
                           bool elevated)
{
    exitCode = 0;
    std::string program;
    std::vector<std::string> args;
    bool searchPath = false;
    if (elevated) {
        LogInfo(L"Try start application %s per UseShellExecute with commandline: %s", path, arguments);
        if (path.empty()) {
            return StartFailed(path, ENOENT);
        }
        program = WideToUtf8(path);
        args = ToUtf8(SplitCommandLine(arguments, false));
        args.insert(args.begin(), program);
        const std::string pkexec = geteuid() != 0 ? FindOnPath("pkexec") : std::string();
        if (!pkexec.empty()) {
            // pkexec wants an absolute program path and runs it as root after asking.
            char resolved[PATH_MAX];
            if (!realpath(program.c_str(), resolved)) {
                return StartFailed(path, errno);
            }
            args[0] = resolved;
            args.insert(args.begin(), pkexec);
            program = pkexec;
        }
    } else {
        const std::wstring commandLine = path.empty() ? arguments : FormatText(L"\"%s\" %s", path, arguments);
        LogInfo(L"Try start application %s per CreateProcess with commandline: %s", path, commandLine);
        args = ToUtf8(SplitCommandLine(commandLine, true));
        if (path.empty()) {
            program = args.front();
            searchPath = true;
        } else {
            program = WideToUtf8(path);
        }
    }
    if (program.empty()) {
        return StartFailed(path, ENOENT);
    }

    pid_t pid = -1;
    const int error = Spawn(program, args, searchPath, pid);
    if (error != 0) {
        return StartFailed(path, error);
    }
    LogInfo(elevated ? L"ShellExecuteEx successful" : L"CreateProcess successful");
    if (wait) {
        return WaitForExit(pid, exitCode);
    }
    ReapInBackground(pid);
    return 0;
}

bool MakeOwnerExecutable(const std::wstring& path)
{
    return chmod(WideToUtf8(path).c_str(), S_IRWXU) == 0;
}

bool IsProcessRunning(std::uint32_t processId)
{
    if (processId == 0 || processId > static_cast<std::uint32_t>(INT_MAX)) {
        return false;
    }
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

} // namespace qrnv

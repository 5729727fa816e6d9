#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "Client/system/CommandLineText.h"
#include "support/TestSupport.h"

extern char** environ;

namespace qrnv::test {
namespace {

std::vector<std::string> MergedEnvironment(const Environment& changes)
{
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& change : changes) {
            replaced = replaced || change.first == name;
        }
        if (!replaced) {
            out.push_back(entry);
        }
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) {
            out.push_back(name + "=" + value);
        }
    }
    return out;
}

std::optional<int> Status(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (mIn >= 0) {
        close(mIn);
    }
    if (mOut >= 0) {
        close(mOut);
    }
    Kill();
}

bool ChildProcess::Spawn(const std::vector<std::string>& argv, const Environment& environment, bool pipes,
                         const std::string& outputPath)
{
    if (argv.empty() || argv[0].empty()) {
        return false;
    }
    // A child that closes its input early must not end us with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const std::vector<std::string> envText = MergedEnvironment(environment);
    std::vector<char*> env;
    for (const std::string& e : envText) {
        env.push_back(const_cast<char*>(e.c_str()));
    }
    env.push_back(nullptr);

    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipes) {
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return false;
        }
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    } else if (!outputPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (pipes) {
        close(input[0]);
        close(output[1]);
        mIn = input[1];
        mOut = output[0];
    }
    mPid = rc == 0 ? pid : -1;
    return rc == 0;
}

bool ChildProcess::Start(const std::wstring& commandLine)
{
    std::vector<std::string> argv;
    for (const std::wstring& a : SplitCommandLine(commandLine, true)) {
        argv.push_back(Narrow(a));
    }
    return Spawn(argv, {}, false, "");
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const Environment& environment,
                         const std::string& outputPath)
{
    return Spawn(argv, environment, false, outputPath);
}

bool ChildProcess::StartWithPipes(const std::vector<std::string>& argv, const Environment& environment)
{
    return Spawn(argv, environment, true, "");
}

int ChildProcess::Wait(std::uint32_t timeoutMs)
{
    if (mPid <= 0) {
        return -1;
    }
    const std::optional<int> status = WaitFor(std::chrono::milliseconds(timeoutMs));
    if (!status) {
        if (mPid <= 0) {
            return -1; // waitpid failed
        }
        Kill();
        return -2;
    }
    return *status < 128 ? *status : -1; // killed by a signal: a crash
}

std::optional<int> ChildProcess::WaitFor(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (mPid > 0) {
        int status = 0;
        const pid_t r = waitpid(mPid, &status, WNOHANG);
        if (r == mPid) {
            mPid = -1;
            return Status(status);
        }
        if (r < 0) {
            mPid = -1;
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        // Keep the pipe drained: a child blocked on a full pipe never ends.
        if (mOut >= 0 && !mOutputEnded) {
            ReadSome(5);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return std::nullopt;
}

void ChildProcess::Signal(int signalNumber)
{
    if (mPid > 0) {
        kill(mPid, signalNumber);
    }
}

std::optional<int> ChildProcess::Kill()
{
    if (mPid <= 0) {
        return std::nullopt;
    }
    kill(mPid, SIGKILL);
    int status = 0;
    const pid_t r = waitpid(mPid, &status, 0);
    mPid = -1;
    return r > 0 ? Status(status) : std::nullopt;
}

void ChildProcess::Send(const std::string& line)
{
    const std::string bytes = line + "\n";
    if (mIn >= 0) {
        const ssize_t n = write(mIn, bytes.data(), bytes.size());
        (void)n;
    }
}

void ChildProcess::CloseInput()
{
    if (mIn >= 0) {
        close(mIn);
        mIn = -1;
    }
}

bool ChildProcess::ReadSome(int timeoutMs)
{
    pollfd fd{mOut, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t n = read(mOut, buffer, sizeof buffer);
    if (n <= 0) {
        mOutputEnded = true;
        return false;
    }
    mOutput.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool ChildProcess::ReadUntil(const std::string& text, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        const std::size_t at = mOutput.find(text, mSeen);
        if (at != std::string::npos) {
            mSeen = at + text.size();
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || mOutputEnded || mOut < 0) {
            return false;
        }
        ReadSome(static_cast<int>(left.count()));
    }
}

bool ChildProcess::ReadToEnd(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!mOutputEnded && mOut >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        ReadSome(static_cast<int>(left.count()));
    }
    return true;
}

std::optional<int> RunProgram(const std::vector<std::string>& argv, const Environment& environment,
                              const std::string& outputPath, std::chrono::milliseconds limit)
{
    ChildProcess child;
    if (!child.Start(argv, environment, outputPath)) {
        return std::nullopt;
    }
    return child.WaitFor(limit); // past the limit the child's owner kills it
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds limit)
{
    ProgramResult result;
    char pattern[] = "/tmp/qrnv-test-output-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) {
        return result;
    }
    close(fd);
    result.exitCode = RunProgram(argv, environment, pattern, limit);
    result.output = ReadFileBytes(std::string(pattern));
    unlink(pattern);
    return result;
}

} // namespace qrnv::test

#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace qrnv::e2e {

Child::~Child()
{
    if (mIn >= 0) {
        close(mIn);
    }
    if (mOut >= 0) {
        close(mOut);
    }
    if (mPid > 0) {
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
    }
}

bool Child::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment, bool pipes,
                  const std::string& outputPath)
{
    signal(SIGPIPE, SIG_IGN);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        envText.emplace_back(*e);
    }
    envText.insert(envText.end(), environment.begin(), environment.end());
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
            return false;
        }
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    const int rc = posix_spawnp(&mPid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (pipes) {
        close(input[0]);
        close(output[1]);
        mIn = input[1];
        mOut = output[0];
    }
    if (rc != 0) {
        mPid = -1;
        return false;
    }
    return true;
}

std::optional<int> Child::Wait(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (mPid > 0) {
        int status = 0;
        const pid_t r = waitpid(mPid, &status, WNOHANG);
        if (r == mPid) {
            mPid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (r < 0 || std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        // Keep the pipe drained: a child blocked on a full pipe never ends.
        if (mOut >= 0 && !mOutputEnded) {
            ReadSome(10);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return std::nullopt;
}

void Child::Send(const std::string& line)
{
    const std::string bytes = line + "\n";
    if (mIn >= 0) {
        const ssize_t n = write(mIn, bytes.data(), bytes.size());
        (void)n;
    }
}

void Child::CloseInput()
{
    if (mIn >= 0) {
        close(mIn);
        mIn = -1;
    }
}

bool Child::ReadSome(int timeoutMs)
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

bool Child::ReadUntil(const std::string& text, std::chrono::milliseconds limit)
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

bool Child::ReadToEnd(std::chrono::milliseconds limit)
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

std::optional<int> Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                       const std::string& outputPath)
{
    Child child;
    if (!child.Start(argv, environment, false, outputPath)) {
        return std::nullopt;
    }
    return child.Wait(std::chrono::seconds(60));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteFile(const std::string& path, const std::string& content)
{
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace qrnv::e2e

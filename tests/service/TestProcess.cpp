#include "TestProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace qrnv::test {

ScratchFolder::ScratchFolder()
{
    char pattern[] = "/tmp/qrnv-service-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    mPath = made ? made : "";
}

ScratchFolder::~ScratchFolder()
{
    if (!mPath.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
}

ChildProcess::~ChildProcess()
{
    if (mPid > 0) {
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const std::string& outputPath)
{
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int rc = posix_spawn(&mPid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        mPid = -1;
        return false;
    }
    return true;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit)
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
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

void ChildProcess::Signal(int sig)
{
    if (mPid > 0) {
        kill(mPid, sig);
    }
}

std::optional<int> RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                              const std::string& outputPath)
{
    ChildProcess child;
    if (!child.Start(argv, environment, outputPath)) {
        return std::nullopt;
    }
    return child.WaitForExit(std::chrono::seconds(20));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteFileAtomically(const std::string& path, const std::string& content)
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

} // namespace qrnv::test

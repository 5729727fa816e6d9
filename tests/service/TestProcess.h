#pragma once
// Child processes and scratch folders for the end-to-end tests.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qrnv::test {

// A folder under /tmp, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

// A started program; killed at the end when it still runs.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program. `environment` entries ("NAME=value") are added to ours;
    // stdout and stderr go to `outputPath`.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& outputPath);
    // The exit status (a signal as 128 + number); nothing when it runs on past the limit.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);
    bool Running() const { return mPid > 0; }
    void Signal(int sig);

private:
    pid_t mPid = -1;
};

// Runs a program to its end (at most 20 s) and gives its exit status; nothing on time-out.
std::optional<int> RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                              const std::string& outputPath);

std::string ReadFile(const std::string& path);
bool WriteFileAtomically(const std::string& path, const std::string& content);

} // namespace qrnv::test

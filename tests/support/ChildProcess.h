#pragma once
// Programs started by the tests: from a Windows-style command line on every platform, and,
// on POSIX, from an argument list with an environment of their own and their output in a
// file or on pipes. A child that still runs when its owner goes is killed.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qrnv::test {

// Changes to the inherited environment: each entry replaces ours of the same name; an entry
// with an empty value removes the variable.
using Environment = std::vector<std::pair<std::string, std::string>>;

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // On Windows the line goes to CreateProcess as it stands; on POSIX it is split by the
    // Windows C runtime's rules (as the client's own process start does) and the first
    // argument names the program. The child shares our input and output.
    bool Start(const std::wstring& commandLine);
    // The exit code (8 bits on POSIX); -1 when it could not be waited for or died of a
    // signal, -2 when the child did not end within timeoutMs (it is then killed).
    int Wait(std::uint32_t timeoutMs = 120000);

#ifndef _WIN32
    // argv[0] is the program (searched in PATH when it has no "/"). Input from /dev/null;
    // standard output and error appended to outputPath (inherited when it is empty).
    bool Start(const std::vector<std::string>& argv, const Environment& environment, const std::string& outputPath);
    // Input and output (with errors) on pipes, for Send and ReadUntil.
    bool StartWithPipes(const std::vector<std::string>& argv, const Environment& environment);

    // The exit status (a signal as 128 + its number); nothing while it runs on past the
    // limit (it keeps running). Drains the output pipe meanwhile.
    std::optional<int> WaitFor(std::chrono::milliseconds limit);
    bool Running() const { return mPid > 0; }
    int Pid() const { return mPid; }
    void Signal(int signalNumber);
    // Kills the child and reaps it; the status as WaitFor gives it.
    std::optional<int> Kill();

    void Send(const std::string& line); // the line and "\n"
    void CloseInput();
    // Reads the output until the text appears after what earlier reads consumed.
    bool ReadUntil(const std::string& text, std::chrono::milliseconds limit);
    // Reads until every writer of the output has closed it (the program and any it left
    // running); false when that takes longer than the limit.
    bool ReadToEnd(std::chrono::milliseconds limit);
    const std::string& Output() const { return mOutput; }
    std::string Unread() const { return mOutput.substr(mSeen); }
#endif

private:
#ifdef _WIN32
    void* mProcess = nullptr;
#else
    bool Spawn(const std::vector<std::string>& argv, const Environment& environment, bool pipes,
               const std::string& outputPath);
    bool ReadSome(int timeoutMs);

    int mPid = -1;
    int mIn = -1;
    int mOut = -1;
    std::string mOutput;
    std::size_t mSeen = 0;
    bool mOutputEnded = false;
#endif
};

// Starts the command line and waits for its end; the exit code as Wait gives it, or -1
// when it could not be started.
int RunProcess(const std::wstring& commandLine, std::uint32_t timeoutMs = 120000);

#ifndef _WIN32
struct ProgramResult {
    std::optional<int> exitCode; // nothing: it did not start, or ran past its limit (then killed)
    std::string output;          // standard output and error
};
// Runs a program to its end with its output captured; killed past the limit.
ProgramResult RunProgram(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds limit = std::chrono::seconds(60));
// The same with the output appended to a file; the exit status, nothing past the limit.
std::optional<int> RunProgram(const std::vector<std::string>& argv, const Environment& environment,
                              const std::string& outputPath, std::chrono::milliseconds limit = std::chrono::seconds(60));
#endif

} // namespace qrnv::test

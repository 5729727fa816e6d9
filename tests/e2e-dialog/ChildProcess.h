#pragma once
// A program started for a test: its standard input and output on pipes, or input from
// /dev/null and output into a file; killed at the end when it still runs.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qrnv::e2e {

class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // environment entries ("NAME=value") are added to ours. With pipes, Send and ReadUntil
    // talk to it; otherwise its input is /dev/null and its output goes to outputPath.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment, bool pipes,
               const std::string& outputPath);
    // The exit status (a signal as 128 + number); nothing when it runs on past the limit.
    std::optional<int> Wait(std::chrono::milliseconds limit);

    void Send(const std::string& line);
    void CloseInput();
    // Reads the output until the text appears after what earlier reads consumed.
    bool ReadUntil(const std::string& text, std::chrono::milliseconds limit);
    // Reads until every writer of the output has closed it (the program and any it left
    // running); false when that takes longer than the limit.
    bool ReadToEnd(std::chrono::milliseconds limit);
    const std::string& Output() const { return mOutput; }
    std::string Unread() const { return mOutput.substr(mSeen); }

private:
    bool ReadSome(int timeoutMs);

    pid_t mPid = -1;
    int mIn = -1;
    int mOut = -1;
    std::string mOutput;
    std::size_t mSeen = 0;
    bool mOutputEnded = false;
};

// Runs a program to its end with /dev/null as input (at most 60 s); its output into the file.
std::optional<int> Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                       const std::string& outputPath);

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);

} // namespace qrnv::e2e

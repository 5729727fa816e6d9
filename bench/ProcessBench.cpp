// qrnv-bench-proc: whole programs timed side by side. Each run starts every command once, in
// turn, so that a change in the machine's load falls on all of them alike.
//
//   qrnv-bench-proc --runs N [--warmup W] --label NAME [--expect CODE] -- PROGRAM ARGS...
//                   [--label NAME [--expect CODE] -- PROGRAM ARGS...]...
//
// Prints one tab-separated line per command: label, runs, median, minimum and maximum wall
// time in milliseconds, median and largest peak resident memory in KiB (the child's
// getrusage). A run that does not start or ends with another exit code than CODE (default 0)
// stops the measurement with exit code 1: a figure of failed runs would be wrong.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Command {
    std::string label;
    int expect = 0;
    std::vector<std::string> argv;
    std::vector<double> millis;
    std::vector<long> rssKiB;
};

struct RunResult {
    bool ok = false;
    int code = -1;
    double millis = 0;
    long rssKiB = 0;
};

RunResult RunOnce(const Command& c)
{
    RunResult r;
    std::vector<char*> argv;
    for (const auto& a : c.argv) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "qrnv-bench-proc: %s does not start: %s\n", argv[0], std::strerror(spawned));
        return r;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            return r;
        }
    }
    r.millis = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.rssKiB = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        r.code = WEXITSTATUS(status);
        r.ok = true;
    }
    return r;
}

template <typename T>
T Median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : static_cast<T>((v[n / 2 - 1] + v[n / 2]) / 2);
}

int Usage()
{
    std::fprintf(stderr, "usage: qrnv-bench-proc --runs N [--warmup W] --label NAME [--expect CODE] -- PROGRAM ARGS... [--label ...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 0;
    int warmup = 0;
    std::vector<Command> commands;
    for (int i = 1; i < argc;) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[i + 1]);
            i += 2;
        } else if (a == "--warmup" && i + 1 < argc) {
            warmup = std::atoi(argv[i + 1]);
            i += 2;
        } else if (a == "--label" && i + 1 < argc) {
            commands.emplace_back();
            commands.back().label = argv[i + 1];
            i += 2;
        } else if (a == "--expect" && i + 1 < argc && !commands.empty()) {
            commands.back().expect = std::atoi(argv[i + 1]);
            i += 2;
        } else if (a == "--" && !commands.empty()) {
            for (++i; i < argc && std::strcmp(argv[i], "--label") != 0; ++i) {
                commands.back().argv.push_back(argv[i]);
            }
        } else {
            return Usage();
        }
    }
    if (runs < 1 || warmup < 0 || commands.empty()) {
        return Usage();
    }
    for (const auto& c : commands) {
        if (c.argv.empty()) {
            return Usage();
        }
    }
    for (int run = 0; run < warmup + runs; ++run) {
        for (auto& c : commands) {
            const RunResult r = RunOnce(c);
            if (!r.ok || r.code != c.expect) {
                std::fprintf(stderr, "qrnv-bench-proc: %s run %d ended with %d, not %d\n", c.label.c_str(), run + 1,
                             r.code, c.expect);
                return 1;
            }
            if (run >= warmup) {
                c.millis.push_back(r.millis);
                c.rssKiB.push_back(r.rssKiB);
            }
        }
    }
    for (const auto& c : commands) {
        std::printf("%s\t%d\t%.3f\t%.3f\t%.3f\t%ld\t%ld\n", c.label.c_str(), runs, Median(c.millis),
                    *std::min_element(c.millis.begin(), c.millis.end()), *std::max_element(c.millis.begin(), c.millis.end()),
                    Median(c.rssKiB), *std::max_element(c.rssKiB.begin(), c.rssKiB.end()));
    }
    return 0;
}

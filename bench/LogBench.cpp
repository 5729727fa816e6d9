// The log engine against the floor it stands on: one durable write per line.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "BenchFolder.h"
#include "sdk/log/CLog.h"
#include "sdk/text/TextConvert.h"

namespace {

using namespace qrnv;

// A line of the length and shape the client writes most (the download line).
constexpr const wchar_t* kFormat = L"Downloading from: '%s' - to: %s";
const std::wstring kUrl = L"http://127.0.0.1:8080/files/QuarnRenovaWorker.exe";
const std::wstring kTarget = L"/tmp/Quarn Software/Quarn Renova/Quarn Tool 1/QuarnRenovaWorker.exe";

void PrintLine(CLog& log)
{
    const FormatArg args[] = {FormatArg(kUrl), FormatArg(kTarget)};
    log.Print(kLogLevelInfo, L"QRNV", kFormat, args);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The bytes of one line exactly as the engine writes it.
std::string OneEngineLine(const std::string& folder)
{
    const std::string path = folder + "/one.log";
    {
        CLog log;
        log.Init(L"Bench", kLogLevelInfo, true);
        if (log.OpenFile(Utf8ToWide(path).c_str()) != 1) {
            return {};
        }
        PrintLine(log);
    }
    return ReadAll(path);
}

void BM_LogEngineLine(benchmark::State& state)
{
    const std::string folder = bench::MakeScratchFolder();
    const std::string path = folder + "/engine.log";
    CLog log;
    log.Init(L"Bench", kLogLevelInfo, true);
    if (folder.empty() || log.OpenFile(Utf8ToWide(path).c_str()) != 1) {
        state.SkipWithError("cannot open the log file");
        return;
    }
    for (auto _ : state) {
        PrintLine(log);
    }
    log.Close();
    struct stat st{};
    const double bytes = stat(path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) : 0.0;
    // Every iteration must have produced its line, or the figure means nothing.
    const std::string one = OneEngineLine(folder);
    if (one.empty() || bytes != static_cast<double>(one.size()) * static_cast<double>(state.iterations())) {
        state.SkipWithError("the log file does not hold one line per iteration");
        return;
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/line"] = static_cast<double>(one.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_DurableWriteLoop(benchmark::State& state)
{
    const std::string folder = bench::MakeScratchFolder();
    const std::string line = folder.empty() ? std::string() : OneEngineLine(folder);
    const std::string path = folder + "/bare.log";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_DSYNC | O_CLOEXEC, 0600);
    if (line.empty() || fd < 0) {
        state.SkipWithError("cannot open the file");
        return;
    }
    bool failed = false;
    for (auto _ : state) {
        if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            failed = true;
        }
    }
    close(fd);
    if (failed) {
        state.SkipWithError("a write failed");
        return;
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/line"] = static_cast<double>(line.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(line.size()) * state.iterations());
}

// Durable writes cost milliseconds on a shared disk: a fixed time keeps the run short.
BENCHMARK(BM_LogEngineLine)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_DurableWriteLoop)->MinTime(2.0)->UseRealTime();

} // namespace

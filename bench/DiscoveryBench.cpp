// Finding a product among the machine's uninstall entries in the POSIX registry store: the
// time per entry must not grow with the number of entries.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cwctype>
#include <map>
#include <string>
#include <sys/stat.h>

#include "BenchFolder.h"
#include "Client/Discovery.h"
#include "Client/system/Registry.h"
#include "sdk/text/Format.h"

namespace {

using namespace qrnv;

constexpr const wchar_t* kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::wstring EntryName(int i)
{
    return FormatText(L"{6F1C%04X-0000-4000-8000-%012d}", i & 0xFFFF, i);
}

std::wstring EntryLocation(int i)
{
    return FormatText(L"/opt/Quarn Product %d/", i);
}

// A store with count entries, made once per count through the store's own interface. The
// store sits in memory (/dev/shm) when it can: filling it on disk would be a transaction
// with its syncs per value; reading it is served from the page cache either way.
const std::string& StoreWithEntries(int count)
{
    static std::map<int, std::string> stores;
    auto found = stores.find(count);
    if (found != stores.end()) {
        return found->second;
    }
    struct stat st{};
    std::string root = bench::MakeScratchFolder(stat("/dev/shm", &st) == 0 ? "/dev/shm" : "");
    setenv(kRegistryRootVariable, root.c_str(), 1);
    for (int i = 0; i < count && !root.empty(); ++i) {
        RegKey entry;
        if (!entry.Create(RegHive::LocalMachine, FormatText(L"%s\\%s", kUninstall, EntryName(i)), RegView::Registry64) ||
            !entry.WriteText(L"DisplayName", FormatText(L"Quarn Product %d", i)) ||
            !entry.WriteText(L"InstallLocation", EntryLocation(i)) || !entry.WriteText(L"InstallDate", L"20240307")) {
            root.clear();
        }
    }
    return stores.emplace(count, root).first->second;
}

void BM_FindUninstallKey(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string& root = StoreWithEntries(count);
    if (root.empty()) {
        state.SkipWithError("cannot fill the registry store");
        return;
    }
    setenv(kRegistryRootVariable, root.c_str(), 1);
    // The one entry that matches, in the middle of the order; its location is asked for
    // in another case and without the final separator, as a product's command line may give it.
    const int wanted = count / 2;
    std::wstring location = EntryLocation(wanted);
    location.pop_back();
    for (wchar_t& c : location) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    const std::wstring expected = EntryName(wanted);
    for (auto _ : state) {
        const auto key = FindUninstallKey(L"InstallLocation", location);
        if (!key || *key != expected) {
            state.SkipWithError("FindUninstallKey did not find the entry");
            return;
        }
        benchmark::DoNotOptimize(key);
    }
    state.counters["entries"] = count;
    // Seconds of wall time per entry.
    state.counters["per_entry"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_FindUninstallKey)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

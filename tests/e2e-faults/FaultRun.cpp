#include "FaultRun.h"

#include <algorithm>
#include <filesystem>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace qrnv::e2e {
namespace {

namespace fs = std::filesystem;

} // namespace

std::string BinFolder()
{
    return fs::canonical("/proc/self/exe").parent_path().string();
}

Sandbox::Sandbox(const std::string& root) : registry(root + "/registry"), temp(root + "/tmp/"), install(root + "/install")
{
    fs::create_directories(registry);
    fs::create_directories(temp);
    fs::create_directories(install);
}

std::string Sandbox::ProductFolder(const std::string& product) const
{
    return LogFolder() + product + " 1/";
}

bool RegAddText(const std::string& registry, const std::string& key, const std::string& name, const std::string& text)
{
    return test::RunProgram({BinFolder() + "/qrnv-reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", text, "/f"},
                            {{"QRNV_REGISTRY_ROOT", registry}})
               .exitCode == 0;
}

std::optional<std::pair<std::string, std::string>> RegQuery(const std::string& registry, const std::string& key,
                                                            const std::string& name)
{
    const test::ProgramResult r =
        test::RunProgram({BinFolder() + "/qrnv-reg", "query", key, "/v", name}, {{"QRNV_REGISTRY_ROOT", registry}});
    return r.exitCode == 0 ? ParseRegQuery(r.output, name) : std::nullopt;
}

bool ClientOutcome::Logged(const std::string& level, const std::string& message) const
{
    return std::any_of(log.begin(), log.end(), [&](const LogLine& l) { return l.level == level && l.message == message; });
}

bool ClientOutcome::LoggedStart(const std::string& level, const std::string& start) const
{
    return std::any_of(log.begin(), log.end(),
                       [&](const LogLine& l) { return l.level == level && l.message.rfind(start, 0) == 0; });
}

std::string ClientOutcome::Describe() const
{
    std::string text = "exit " + (exitCode ? std::to_string(*exitCode) : std::string("none (killed)")) + " after " +
                       std::to_string(took.count()) + " ms\n" + output;
    for (const auto& l : log) {
        text += l.level + " " + l.message + "\n";
    }
    return text;
}

std::vector<std::string> ClientCommand(const Sandbox& sandbox, const std::string& product,
                                       const std::vector<std::string>& extra)
{
    std::vector<std::string> argv = {BinFolder() + "/quarnrenova", "-ProgramName", product, "-DisplayName", product,
                                     "-ProgramVersion", "1.0", "-InstalledLocation", sandbox.install, "-Language", "1033"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
}

ClientOutcome RunClient(const Sandbox& sandbox, const std::string& product, const std::vector<std::string>& extra,
                        const Environment& environment, std::chrono::milliseconds limit)
{
    const std::vector<std::string> argv = ClientCommand(sandbox, product, extra);
    Environment env = {{"TMPDIR", sandbox.temp}, {"QRNV_REGISTRY_ROOT", sandbox.registry}};
    for (const auto& change : environment) {
        std::erase_if(env, [&](const auto& e) { return e.first == change.first; });
        env.push_back(change);
    }
    ClientOutcome outcome;
    const auto start = std::chrono::steady_clock::now();
    const test::ProgramResult r = test::RunProgram(argv, env, limit);
    outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    outcome.exitCode = r.exitCode;
    outcome.output = r.output;
    std::error_code error;
    const std::string suffix = "_" + product + ".log";
    for (const auto& e : fs::directory_iterator(sandbox.LogFolder(), error)) {
        const std::string name = e.path().filename().string();
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            outcome.logFiles.push_back(e.path().string());
        }
    }
    std::sort(outcome.logFiles.begin(), outcome.logFiles.end());
    for (const std::string& file : outcome.logFiles) {
        outcome.logBytes += test::ReadFileBytes(file);
    }
    outcome.log = ParseLog(outcome.logBytes);
    return outcome;
}

} // namespace qrnv::e2e

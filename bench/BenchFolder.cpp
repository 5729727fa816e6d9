#include "BenchFolder.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace qrnv::bench {
namespace {

struct Folders {
    std::mutex lock;
    std::vector<std::string> made;
    ~Folders()
    {
        std::error_code ignored;
        for (const auto& f : made) {
            std::filesystem::remove_all(f, ignored);
        }
    }
};

Folders& AllFolders()
{
    static Folders folders;
    return folders;
}

} // namespace

std::string MakeScratchFolder(const std::string& base)
{
    std::string root = base;
    if (root.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        root = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = root + "/qrnv-bench.XXXXXX";
    if (!mkdtemp(pattern.data())) {
        return {};
    }
    Folders& folders = AllFolders();
    std::lock_guard<std::mutex> hold(folders.lock);
    folders.made.push_back(pattern);
    return pattern;
}

} // namespace qrnv::bench

#include "FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace qrnv::fuzz {
namespace {

// A plain array: the exit handler runs after the static strings are destroyed.
char gScratch[4096];

void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(gScratch, ignored);
}

} // namespace

const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        const std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qrnv-fuzz.XXXXXX";
        if (pattern.size() >= sizeof gScratch) {
            std::fprintf(stderr, "fuzz: TMPDIR too long\n");
            std::abort();
        }
        std::memcpy(gScratch, pattern.c_str(), pattern.size() + 1);
        if (!mkdtemp(gScratch)) {
            std::perror("fuzz: mkdtemp");
            std::abort();
        }
        std::atexit(RemoveScratch);
        return std::string(gScratch);
    }();
    return folder;
}

std::wstring WriteScratchFile(const char* name, std::string_view bytes)
{
    const std::string path = ScratchFolder() + "/" + name;
    // A new file each time: truncating one in place makes ext4 flush it, 3 ms an input.
    unlink(path.c_str());
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror("fuzz: open");
        std::abort();
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            std::perror("fuzz: write");
            std::abort();
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    return Utf8ToWide(path);
}

} // namespace qrnv::fuzz

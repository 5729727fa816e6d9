#include "Client/system/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {

bool MakeDirectory(const std::wstring& path)
{
    return mkdir(WideToUtf8(path).c_str(), 0700) == 0;
}

bool FileExists(const std::wstring& path)
{
    // Non-blocking: a FIFO planted under the name must not hold us. Only a regular file
    // counts: a folder, pipe or device is nothing a caller could use as its file.
    const int fd = open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return regular;
}

bool ReadFilePrefix(const std::wstring& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& fileSize)
{
    const int fd = open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        fileSize = static_cast<std::uint64_t>(st.st_size);
        const std::size_t wanted = fileSize < maxBytes ? static_cast<std::size_t>(fileSize) : maxBytes;
        bytes.assign(wanted, '\0');
        std::size_t got = 0;
        while (got < wanted) {
            const ssize_t n = read(fd, bytes.data() + got, wanted - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    close(fd);
    return ok;
}

bool DeleteFileAt(const std::wstring& path)
{
    return unlink(WideToUtf8(path).c_str()) == 0;
}

std::vector<std::wstring> ListFileNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    const std::string path = WideToUtf8(folder);
    DIR* dir = opendir(path.c_str());
    if (!dir) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        struct stat st;
        const std::string full = path + "/" + entry->d_name;
        if (lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            names.push_back(Utf8ToWide(entry->d_name));
        }
    }
    closedir(dir);
    return names;
}

bool GetFileDateText(const std::wstring& path, std::wstring& out)
{
    struct stat st;
    if (stat(WideToUtf8(path).c_str(), &st) != 0) {
        return false;
    }
    std::tm local{};
    const time_t accessed = st.st_atim.tv_sec;
    if (!localtime_r(&accessed, &local)) {
        return false;
    }
    out = FormatText(L"%d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return true;
}

} // namespace qrnv

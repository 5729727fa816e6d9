#include "Client/service/UrlDownload.h"

#include <atomic>
#include <cwctype>

#include "Client/system/FileSystem.h"
#include "Client/system/Platform.h"
#include "Client/system/Process.h"
#include "Client/system/ProcessArguments.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

// The process identifier in "<name>.<pid>-<n>.part", when the file name has that form.
bool PartialFileOwner(const std::wstring& fileName, const std::wstring& targetName, std::uint32_t& processId)
{
    const std::wstring suffix = L".part";
    const std::wstring prefix = targetName + L".";
    if (fileName.size() <= prefix.size() + suffix.size() || fileName.compare(0, prefix.size(), prefix) != 0 ||
        fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::wstring middle = fileName.substr(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    const std::size_t dash = middle.find(L'-');
    if (dash == 0 || dash == std::wstring::npos || dash > 10 || dash + 1 == middle.size()) {
        return false;
    }
    std::uint64_t id = 0;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        if (i == dash) {
            continue;
        }
        if (!std::iswdigit(middle[i])) {
            return false;
        }
        if (i < dash) {
            id = id * 10 + static_cast<std::uint64_t>(middle[i] - L'0');
        }
    }
    if (id > 0xFFFFFFFFu) {
        return false;
    }
    processId = static_cast<std::uint32_t>(id);
    return true;
}

} // namespace

std::wstring PartialFileName(const std::wstring& target)
{
    static std::atomic<std::uint32_t> counter{0};
    return FormatText(L"%s.%lu-%lu.part", target, CurrentProcessId(), ++counter);
}

int RemoveAbandonedPartialFiles(const std::wstring& target)
{
    const std::size_t slash = target.find_last_of(kPathSeparator);
    if (slash == std::wstring::npos) {
        return 0;
    }
    const std::wstring folder = target.substr(0, slash);
    const std::wstring targetName = target.substr(slash + 1);
    const std::uint32_t self = CurrentProcessId();
    int removed = 0;
    for (const std::wstring& name : ListFileNames(folder)) {
        std::uint32_t owner = 0;
        if (PartialFileOwner(name, targetName, owner) && owner != self && !IsProcessRunning(owner) &&
            DeleteFileAt(folder + kPathSeparator + name)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace qrnv

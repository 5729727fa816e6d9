#include "StandIn.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "Client/system/ProcessArguments.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::standin {

void TakeProcessArguments(int argc, char** argv)
{
    SetProcessArguments(argc, argv);
}

std::optional<std::wstring> ReadEnvironment(const wchar_t* name)
{
    const char* value = std::getenv(WideToUtf8(name).c_str());
    if (!value) {
        return std::nullopt;
    }
    return Utf8ToWide(value);
}

bool AppendLine(const std::wstring& path, const std::wstring& line)
{
    const int fd = open(WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const std::string bytes = WideToUtf8(line) + "\n";
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool closed = close(fd) == 0;
    return done == bytes.size() && closed;
}

} // namespace qrnv::standin

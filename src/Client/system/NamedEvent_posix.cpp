#include "Client/system/NamedEvent.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "Client/Log.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

// The abstract address of a name: a leading NUL, then the name's UTF-8 bytes. False when
// the name does not fit.
bool MakeAddress(const std::wstring& name, sockaddr_un& address, socklen_t& length)
{
    const std::string bytes = WideToUtf8(name);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (bytes.empty() || bytes.size() > sizeof address.sun_path - 1) {
        return false;
    }
    std::memcpy(address.sun_path + 1, bytes.data(), bytes.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + bytes.size());
    return true;
}

} // namespace

bool CreateNamedEvent(const std::wstring& name)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!MakeAddress(name, address, length)) {
        return false;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        close(fd);
        if (error == EADDRINUSE) {
            LogError(L"SetEvent \"%s\" failed because event already exist!", name);
        }
        return false;
    }
    // Listening lets a tester connect to find it; nobody is ever accepted.
    if (listen(fd, 1) != 0) {
        close(fd);
        return false;
    }
    // The open descriptor is the marker: it is kept until the process ends, and the kernel
    // removes the name with it.
    LogInfo(L"SetEvent \"%s\" succeeded!", name);
    return true;
}

bool NamedEventExists(const std::wstring& name)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!MakeAddress(name, address, length)) {
        return false;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    const int result = connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
    const int error = errno;
    close(fd);
    // A full backlog still means somebody holds the name.
    return result == 0 || error == EAGAIN || error == EINPROGRESS;
}

} // namespace qrnv

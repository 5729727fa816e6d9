#include "Journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace qrnv::standin {

Journal::~Journal()
{
    if (mFd >= 0) {
        close(mFd);
    }
}

bool Journal::Open(const std::string& path, std::string& error)
{
    mFd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (mFd < 0) {
        error = "cannot open journal " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Journal::Write(const nlohmann::ordered_json& entry)
{
    if (mFd < 0) {
        return;
    }
    // Every text put in is valid UTF-8 already; replacing keeps a stray byte from costing the line.
    const std::string line = entry.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    std::lock_guard<std::mutex> guard(mLock);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(mFd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            std::fprintf(stderr, "qrnv-service: journal write failed: %s\n", std::strerror(errno));
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string UtcTimestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return text;
}

} // namespace qrnv::standin

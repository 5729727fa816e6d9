#pragma once
// The record of every request the service received, one JSON object a line, for tests.

#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace qrnv::standin {

class Journal {
public:
    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Opens (creates or appends to) the file; false with `error` set when it cannot.
    bool Open(const std::string& path, std::string& error);

    // Appends one line; whole lines only, so a reader never sees half an entry. Without an
    // open file it does nothing.
    void Write(const nlohmann::ordered_json& entry);

private:
    std::mutex mLock;
    int mFd = -1;
};

// The current UTC time as 2026-01-05T09:03:07.042Z.
std::string UtcTimestamp();

} // namespace qrnv::standin

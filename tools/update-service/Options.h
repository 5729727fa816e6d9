#pragma once
// The command line of qrnv-service.

#include <optional>
#include <string>

#include "Catalog.h"

namespace qrnv::standin {

struct ListenAddress {
    std::string host; // a literal loopback address, without brackets
    int port = 0;     // 0: any free port
    bool ipv6 = false;
};

struct Options {
    std::optional<ListenAddress> listen;
    std::optional<ListenAddress> tlsListen;
    std::string certFile;
    std::string keyFile;
    bool certExpired = false;
    std::string catalogPath;
    std::string filesDir;
    std::string journalPath;
    std::string portFile;
    std::optional<Fault> fault;
    int exitAfterSeconds = 0; // 0: until SIGTERM or SIGINT
    bool verbose = false;
    bool help = false;
};

// Only literal loopback addresses: 127.0.0.0/8 and ::1, as "127.0.0.1:8080" or "[::1]:8080".
std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error);

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

extern const char* const kUsage;

} // namespace qrnv::standin

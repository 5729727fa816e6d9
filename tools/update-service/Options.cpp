#include "Options.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstring>

namespace qrnv::standin {

const char* const kUsage =
    "usage: qrnv-service [--listen ADDR:PORT] [--tls-listen ADDR:PORT] [--cert FILE --key FILE]\n"
    "                    [--cert-expired] [--catalog FILE] [--files DIR] [--journal FILE]\n"
    "                    [--port-file FILE] [--fault KIND[:ARG]] [--exit-after SECONDS] [--verbose]\n"
    "ADDR is a loopback address (127.x.y.z or [::1]); PORT 0 picks a free port.\n"
    "See tools/update-service/README.md.\n";

std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error)
{
    ListenAddress address;
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "\"" + text + "\" is not [ADDRESS]:PORT";
            return std::nullopt;
        }
        address.host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
        address.ipv6 = true;
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos) {
            error = "\"" + text + "\" is not ADDRESS:PORT";
            return std::nullopt;
        }
        address.host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    const auto r = std::from_chars(portText.data(), portText.data() + portText.size(), address.port);
    if (portText.empty() || r.ec != std::errc() || r.ptr != portText.data() + portText.size() || address.port < 0
        || address.port > 65535) {
        error = "\"" + portText + "\" is not a port number";
        return std::nullopt;
    }
    bool loopback = false;
    if (address.ipv6) {
        in6_addr a6{};
        loopback = inet_pton(AF_INET6, address.host.c_str(), &a6) == 1 && IN6_IS_ADDR_LOOPBACK(&a6);
    } else {
        in_addr a4{};
        loopback = inet_pton(AF_INET, address.host.c_str(), &a4) == 1 && (ntohl(a4.s_addr) >> 24) == 127;
    }
    if (!loopback) {
        error = "\"" + address.host + "\" is not a loopback address; the service listens on loopback only";
        return std::nullopt;
    }
    return address;
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--cert-expired") {
            options.certExpired = true;
        } else if (arg == "--listen" || arg == "--tls-listen") {
            if (!value(v)) {
                return std::nullopt;
            }
            auto address = ParseListenAddress(v, error);
            if (!address) {
                error = arg + ": " + error;
                return std::nullopt;
            }
            (arg == "--listen" ? options.listen : options.tlsListen) = *address;
        } else if (arg == "--cert") {
            if (!value(options.certFile)) {
                return std::nullopt;
            }
        } else if (arg == "--key") {
            if (!value(options.keyFile)) {
                return std::nullopt;
            }
        } else if (arg == "--catalog") {
            if (!value(options.catalogPath)) {
                return std::nullopt;
            }
        } else if (arg == "--files") {
            if (!value(options.filesDir)) {
                return std::nullopt;
            }
        } else if (arg == "--journal") {
            if (!value(options.journalPath)) {
                return std::nullopt;
            }
        } else if (arg == "--port-file") {
            if (!value(options.portFile)) {
                return std::nullopt;
            }
        } else if (arg == "--fault") {
            if (!value(v)) {
                return std::nullopt;
            }
            options.fault = ParseFaultOption(v, error);
            if (!options.fault) {
                error = "--fault: " + error;
                return std::nullopt;
            }
        } else if (arg == "--exit-after") {
            if (!value(v)) {
                return std::nullopt;
            }
            const auto r = std::from_chars(v.data(), v.data() + v.size(), options.exitAfterSeconds);
            if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || options.exitAfterSeconds < 0) {
                error = "--exit-after: \"" + v + "\" is not a number of seconds";
                return std::nullopt;
            }
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (options.help) {
        return options;
    }
    if (!options.listen && !options.tlsListen) {
        error = "give --listen and/or --tls-listen";
        return std::nullopt;
    }
    if (options.certFile.empty() != options.keyFile.empty()) {
        error = "--cert and --key go together";
        return std::nullopt;
    }
    return options;
}

} // namespace qrnv::standin

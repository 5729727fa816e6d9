// qrnv-service: the stand-in update web service for tests and the demo. Loopback only.

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include <httplib.h>

#include "Options.h"
#include "SelfSignedCertificate.h"
#include "Service.h"

namespace qrnv::standin {
namespace {

// Exit codes of the service itself.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitStartFailed = 3;

constexpr unsigned kWorkerThreads = 16;
constexpr std::size_t kMaxRequestBytes = 4 << 20;

std::string BaseOf(const char* scheme, const ListenAddress& address, int port)
{
    const bool defaultPort = (std::string(scheme) == "http" && port == 80) || (std::string(scheme) == "https" && port == 443);
    const std::string host = address.ipv6 ? "[" + address.host + "]" : address.host;
    return std::string(scheme) + "://" + host + (defaultPort ? "" : ":" + std::to_string(port));
}

void Configure(httplib::Server& server)
{
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    // SO_REUSEADDR only: a port another process holds must fail to bind, not be shared.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(10);
    server.set_write_timeout(10);
    server.set_payload_max_length(kMaxRequestBytes);
}

// Port 0 asks the system for a free port. Returns the bound port or -1.
int Bind(httplib::Server& server, const ListenAddress& address)
{
    if (address.port == 0) {
        return server.bind_to_any_port(address.host);
    }
    return server.bind_to_port(address.host, address.port) ? address.port : -1;
}

bool WritePortFile(const std::string& path, int httpPort, int httpsPort)
{
    // Written under another name and renamed, so a reader sees either nothing or all of it.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        if (httpPort > 0) {
            out << "http=" << httpPort << "\n";
        }
        if (httpsPort > 0) {
            out << "https=" << httpsPort << "\n";
        }
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

int Run(int argc, char** argv)
{
    // Signals are taken by the main thread only; a client that goes away must not end us.
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::string error;
    const std::optional<Options> options = ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "qrnv-service: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (!options->catalogPath.empty() && !LoadCatalog(options->catalogPath, error)) {
        std::fprintf(stderr, "qrnv-service: %s\n", error.c_str());
        return kExitUsage;
    }
    struct stat st;
    if (!options->filesDir.empty() && (stat(options->filesDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        std::fprintf(stderr, "qrnv-service: --files %s is not a folder\n", options->filesDir.c_str());
        return kExitUsage;
    }
    Journal journal;
    if (!options->journalPath.empty() && !journal.Open(options->journalPath, error)) {
        std::fprintf(stderr, "qrnv-service: %s\n", error.c_str());
        return kExitUsage;
    }

    ServiceSettings settings;
    settings.catalogPath = options->catalogPath;
    settings.filesDir = options->filesDir;
    settings.optionFault = options->fault;
    settings.verbose = options->verbose;
    ServiceState state(settings, journal);

    // A port file left by an earlier run must not be taken for this one's.
    if (!options->portFile.empty()) {
        std::remove(options->portFile.c_str());
    }

    std::unique_ptr<httplib::Server> plain;
    std::unique_ptr<httplib::SSLServer> secure;
    int httpPort = -1;
    int httpsPort = -1;
    if (options->listen) {
        plain = std::make_unique<httplib::Server>();
        Configure(*plain);
        InstallHandlers(*plain, state, "http");
        httpPort = Bind(*plain, *options->listen);
        if (httpPort <= 0) {
            std::fprintf(stderr, "qrnv-service: cannot listen on %s:%d\n", options->listen->host.c_str(), options->listen->port);
            return kExitStartFailed;
        }
        state.SetBase("http", BaseOf("http", *options->listen, httpPort));
    }
    if (options->tlsListen) {
        if (!options->certFile.empty()) {
            secure = std::make_unique<httplib::SSLServer>(options->certFile.c_str(), options->keyFile.c_str());
        } else {
            CertificateAndKey made;
            if (!MakeSelfSignedCertificate(options->certExpired, made, error)) {
                std::fprintf(stderr, "qrnv-service: %s\n", error.c_str());
                return kExitStartFailed;
            }
            secure = std::make_unique<httplib::SSLServer>(made.certificate.get(), made.key.get());
        }
        if (!secure->is_valid()) {
            std::fprintf(stderr, "qrnv-service: the TLS certificate or key cannot be used\n");
            return kExitStartFailed;
        }
        Configure(*secure);
        InstallHandlers(*secure, state, "https");
        httpsPort = Bind(*secure, *options->tlsListen);
        if (httpsPort <= 0) {
            std::fprintf(stderr, "qrnv-service: cannot listen on %s:%d\n", options->tlsListen->host.c_str(),
                         options->tlsListen->port);
            return kExitStartFailed;
        }
        state.SetBase("https", BaseOf("https", *options->tlsListen, httpsPort));
    }

    std::atomic<int> listenersEnded{0};
    std::vector<std::thread> threads;
    for (httplib::Server* server : {plain.get(), static_cast<httplib::Server*>(secure.get())}) {
        if (server) {
            threads.emplace_back([server, &listenersEnded] {
                server->listen_after_bind();
                ++listenersEnded;
            });
        }
    }
    if (!options->portFile.empty() && !WritePortFile(options->portFile, httpPort, httpsPort)) {
        std::fprintf(stderr, "qrnv-service: cannot write %s\n", options->portFile.c_str());
    }
    std::printf("qrnv-service: serving%s%s%s%s\n", plain ? " " : "", plain ? state.Base("http").c_str() : "",
                secure ? " " : "", secure ? state.Base("https").c_str() : "");
    std::fflush(stdout);

    // Until a stop signal, a listener's end or the time given by --exit-after.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options->exitAfterSeconds);
    const timespec step{0, 200 * 1000 * 1000};
    while (listenersEnded == 0) {
        const int sig = sigtimedwait(&stopSignals, nullptr, &step);
        if (sig == SIGTERM || sig == SIGINT) {
            break;
        }
        if (options->exitAfterSeconds > 0 && std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "qrnv-service: --exit-after %d reached\n", options->exitAfterSeconds);
            break;
        }
    }
    state.RequestStop();
    for (httplib::Server* server : {plain.get(), static_cast<httplib::Server*>(secure.get())}) {
        if (server) {
            server->stop();
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    if (!options->portFile.empty()) {
        std::remove(options->portFile.c_str());
    }
    return kExitOk;
}

} // namespace
} // namespace qrnv::standin

int main(int argc, char** argv)
{
    return qrnv::standin::Run(argc, argv);
}

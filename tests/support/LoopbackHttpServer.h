#pragma once
// A plain HTTP server on 127.0.0.1 for the download tests. It is bound to a free port when
// made; tell it what each path answers, then Start it; it runs on its own threads until the
// object goes.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qrnv::test {

class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Listens from now on; the answers must all be set before.
    void Start();

    int Port() const;
    // "http://127.0.0.1:<port>" + path
    std::wstring Url(std::wstring_view path) const;

    // 200 with the body.
    void ServeBody(const std::string& path, const std::string& body);
    // 200 with prefix + the number of this request to the path (1, 2, ...): a file that
    // changes on the server between two downloads.
    void ServeNumbered(const std::string& path, const std::string& prefix);
    // A status without a useful body.
    void ServeStatus(const std::string& path, int status);
    // 302 to location.
    void ServeRedirect(const std::string& path, const std::string& location);
    // Announces declaredSize bytes, sends sentPart (fewer), then drops the connection.
    void ServeCutOff(const std::string& path, std::size_t declaredSize, const std::string& sentPart);
    // Sends the first bytes of body at once, then nothing until the server ends or
    // stallSeconds have passed, then the rest.
    void ServeStalled(const std::string& path, const std::string& body, std::size_t firstBytes, int stallSeconds);

    // How many requests reached the path, and a query value of the last one.
    int RequestCount(const std::string& path) const;
    std::string LastQueryValue(const std::string& path, const std::string& key) const;

private:
    struct State;
    std::unique_ptr<State> mState;
};

// A loopback port that nothing listens on (a server had it and let it go).
int UnusedLoopbackPort();

} // namespace qrnv::test

#include "support/LoopbackHttpServer.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "sdk/text/TextConvert.h"

namespace qrnv::test {

struct LoopbackHttpServer::State {
    httplib::Server server;
    std::thread thread;
    int port = -1;

    mutable std::mutex lock;
    std::condition_variable ending;
    bool stopping = false;
    std::map<std::string, int> counts;
    std::map<std::string, std::map<std::string, std::string>> lastQuery;

    void Count(const httplib::Request& request)
    {
        std::lock_guard<std::mutex> guard(lock);
        ++counts[request.path];
        auto& query = lastQuery[request.path];
        query.clear();
        for (const auto& [k, v] : request.params) {
            query[k] = v;
        }
    }
};

LoopbackHttpServer::LoopbackHttpServer() : mState(std::make_unique<State>())
{
    // One request per connection: the clients under test open a new one per transfer, and
    // the server can then end without waiting for idle connections.
    mState->server.set_keep_alive_max_count(1);
    mState->port = mState->server.bind_to_any_port("127.0.0.1");
}

void LoopbackHttpServer::Start()
{
    if (mState->port < 0 || mState->thread.joinable()) {
        return; // not bound: every request fails to connect, which the test then shows
    }
    mState->thread = std::thread([this] { mState->server.listen_after_bind(); });
    // stop() only ends a server that already runs.
    for (int i = 0; i < 10000 && !mState->server.is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    {
        std::lock_guard<std::mutex> guard(mState->lock);
        mState->stopping = true;
    }
    mState->ending.notify_all();
    mState->server.stop();
    if (mState->thread.joinable()) {
        mState->thread.join();
    }
}

int LoopbackHttpServer::Port() const
{
    return mState->port;
}

std::wstring LoopbackHttpServer::Url(std::wstring_view path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(mState->port) + std::wstring(path);
}

void LoopbackHttpServer::ServeBody(const std::string& path, const std::string& body)
{
    State* s = mState.get();
    s->server.Get(path, [s, body](const httplib::Request& request, httplib::Response& response) {
        s->Count(request);
        response.set_content(body, "application/octet-stream");
    });
}

void LoopbackHttpServer::ServeNumbered(const std::string& path, const std::string& prefix)
{
    State* s = mState.get();
    s->server.Get(path, [s, prefix](const httplib::Request& request, httplib::Response& response) {
        s->Count(request);
        int number = 0;
        {
            std::lock_guard<std::mutex> guard(s->lock);
            number = s->counts[request.path];
        }
        response.set_content(prefix + std::to_string(number), "application/octet-stream");
    });
}

void LoopbackHttpServer::ServeStatus(const std::string& path, int status)
{
    State* s = mState.get();
    s->server.Get(path, [s, status](const httplib::Request& request, httplib::Response& response) {
        s->Count(request);
        response.status = status;
        response.set_content("status page", "text/plain");
    });
}

void LoopbackHttpServer::ServeRedirect(const std::string& path, const std::string& location)
{
    State* s = mState.get();
    s->server.Get(path, [s, location](const httplib::Request& request, httplib::Response& response) {
        s->Count(request);
        response.set_redirect(location, 302);
    });
}

void LoopbackHttpServer::ServeCutOff(const std::string& path, std::size_t declaredSize, const std::string& sentPart)
{
    State* s = mState.get();
    s->server.Get(path, [s, declaredSize, sentPart](const httplib::Request& request, httplib::Response& response) {
        s->Count(request);
        response.set_content_provider(declaredSize, "application/octet-stream",
                                      [sentPart](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          if (offset == 0) {
                                              sink.write(sentPart.data(), sentPart.size());
                                              return true;
                                          }
                                          return false; // drops the connection
                                      });
    });
}

void LoopbackHttpServer::ServeStalled(const std::string& path, const std::string& body, std::size_t firstBytes,
                                      int stallSeconds)
{
    State* s = mState.get();
    s->server.Get(path, [s, body, firstBytes, stallSeconds](const httplib::Request& request, httplib::Response& response) {
        s->Count(request);
        response.set_content_provider(
            body.size(), "application/octet-stream",
            [s, body, firstBytes, stallSeconds](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write(body.data(), firstBytes);
                    return true;
                }
                std::unique_lock<std::mutex> guard(s->lock);
                s->ending.wait_for(guard, std::chrono::seconds(stallSeconds), [s] { return s->stopping; });
                guard.unlock();
                sink.write(body.data() + offset, body.size() - offset);
                return true;
            });
    });
}

int LoopbackHttpServer::RequestCount(const std::string& path) const
{
    std::lock_guard<std::mutex> guard(mState->lock);
    const auto it = mState->counts.find(path);
    return it == mState->counts.end() ? 0 : it->second;
}

std::string LoopbackHttpServer::LastQueryValue(const std::string& path, const std::string& key) const
{
    std::lock_guard<std::mutex> guard(mState->lock);
    const auto it = mState->lastQuery.find(path);
    if (it == mState->lastQuery.end()) {
        return {};
    }
    const auto value = it->second.find(key);
    return value == it->second.end() ? std::string() : value->second;
}

int UnusedLoopbackPort()
{
    LoopbackHttpServer probe;
    probe.Start();
    return probe.Port();
}

} // namespace qrnv::test

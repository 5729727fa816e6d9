#pragma once
// An HTTP server on 127.0.0.1 for the tests, on a free port, running on its own thread for
// the lifetime of the object.

#include <httplib.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace qrnv::test {

class LoopbackServer {
public:
    // One request per connection: a client that keeps its connection open would otherwise
    // hold the server's end for the keep-alive time-out.
    LoopbackServer() : mServer(std::make_unique<httplib::Server>()) { mServer->set_keep_alive_max_count(1); }
    ~LoopbackServer() { Stop(); }

    httplib::Server& Server() { return *mServer; }

    // Binds a free loopback port and serves; the port, or 0 when binding failed.
    int Start()
    {
        mPort = mServer->bind_to_any_port("127.0.0.1");
        if (mPort <= 0) {
            return 0;
        }
        mThread = std::thread([this] { mServer->listen_after_bind(); });
        // A stop before the accept loop runs would be lost: wait for it (bounded).
        for (int i = 0; i < 500 && !mServer->is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return mPort;
    }

    void Stop()
    {
        if (mThread.joinable()) {
            mServer->stop();
            mThread.join();
        }
    }

    int Port() const { return mPort; }
    std::wstring BaseUrl() const { return L"http://127.0.0.1:" + std::to_wstring(mPort) + L"/"; }

private:
    std::unique_ptr<httplib::Server> mServer;
    std::thread mThread;
    int mPort = 0;
};

} // namespace qrnv::test

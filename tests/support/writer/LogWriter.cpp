#include "writer/LogWriter.h"

#include <thread>

#include "sdk/log/CLog.h"
#include "sdk/text/Format.h"

namespace qrnv::test {

int RunLogWriter(const std::vector<std::wstring>& arguments)
{
    if (arguments.size() < 4) {
        return 2;
    }
    const std::wstring& file = arguments[0];
    const std::wstring& tag = arguments[1];
    const int lines = std::stoi(arguments[2]);
    const int threads = std::stoi(arguments[3]);

    CLog log;
    log.Init(L"WRITER", 15, true);
    if (log.OpenFile(file.c_str()) != 1) {
        return 1;
    }
    const std::wstring filler(160, L'x');
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i) {
                log.Write(4, tag.c_str(), FormatText(L"%s %d %d %s", tag, t, i, filler).c_str());
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    return 0;
}

} // namespace qrnv::test

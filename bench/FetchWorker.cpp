// qrnv-bench-fetch URL PRODUCT BYTES: the worker download of the hand-off (FetchWorkerFile),
// as StartWorker does it, into the product's temporary folder under TMPDIR. Exit code 0 when
// the worker arrived with exactly BYTES bytes, 1 otherwise (with the reason on stderr).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "Client/ProgramInfo.h"
#include "Client/service/WorkerFiles.h"
#include "Client/system/ProcessObjects.h"
#include "Client/system/TempFolder.h"
#include "sdk/text/TextConvert.h"

int main(int argc, char** argv)
{
    using namespace qrnv;
    if (argc != 4) {
        std::fprintf(stderr, "usage: qrnv-bench-fetch URL PRODUCT BYTES\n");
        return 1;
    }
    ProgramInfo info;
    info.mProgramName = Utf8ToWide(argv[2]);
    info.mDisplayName = info.mProgramName;
    info.mProgramVersion = L"1.0";
    const long long expected = std::atoll(argv[3]);

    const std::int32_t result = FetchWorkerFile(info, Utf8ToWide(argv[1]));
    if (result != kFetchOk) {
        std::fprintf(stderr, "qrnv-bench-fetch: FetchWorkerFile returned %d\n", result);
        return 1;
    }
    std::wstring folder;
    struct stat st{};
    if (!GetProductTempFolder(folder, info, true) || stat(WideToUtf8(folder + kWorkerFileName).c_str(), &st) != 0 ||
        st.st_size != expected) {
        std::fprintf(stderr, "qrnv-bench-fetch: the worker is missing or has the wrong size\n");
        return 1;
    }
    return 0;
}

// "VersionInfo.txt" in a product folder, read as discovery reads it: the file's head, its
// byte-order mark, its lines, and the four fields they fill.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Client/Discovery.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/system/Platform.h"
#include "FuzzSupport.h"

using namespace qrnv;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::QuietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = fuzz::Bytes(data, size);
    const std::wstring file = fuzz::WriteScratchFile("VersionInfo.txt", bytes);

    ProgramInfo record;
    record.mInstalledLocation = file.substr(0, file.size() - std::wstring_view(L"VersionInfo.txt").size());
    const bool complete = ReadFromVersionInfoFile(record);

    // The file read gives what the lines of its bytes give.
    // Discovery reads at most the first 64 KiB.
    const std::vector<std::wstring> lines = SplitVersionInfoLines(std::string(bytes.substr(0, 64 * 1024)), 4);
    FUZZ_CHECK(lines.size() <= 4);
    FUZZ_CHECK(complete == (lines.size() == 4));
    for (const auto& line : lines) {
        FUZZ_CHECK(line.find(L'\n') == std::wstring::npos);
        FUZZ_CHECK(line.find(L'\0') == std::wstring::npos);
        FUZZ_CHECK(line.size() <= size);
    }
    if (!lines.empty()) {
        FUZZ_CHECK(record.mProgramName == lines[0]);
        FUZZ_CHECK(record.mDisplayName == lines[0]);
        FUZZ_CHECK(record.mEscapedDisplayName == DoubleAmpersands(lines[0]));
    }
    if (lines.size() > 1) {
        FUZZ_CHECK(record.mProgramVersion == lines[1]);
    }
    if (lines.size() > 3) {
        FUZZ_CHECK(record.mProductCode == lines[3]);
    }
    return 0;
}

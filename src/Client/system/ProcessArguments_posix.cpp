#include "Client/system/ProcessArguments.h"

#include <unistd.h>

#include "Client/system/CommandLineText.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

std::vector<std::wstring>& Arguments()
{
    static std::vector<std::wstring> arguments;
    return arguments;
}

} // namespace

void SetProcessArguments(int argc, char** argv)
{
    auto& args = Arguments();
    args.clear();
    for (int i = 0; i < argc && argv && argv[i]; ++i) {
        args.push_back(Utf8ToWide(argv[i]));
    }
}

std::vector<std::wstring> GetProcessArguments()
{
    return Arguments();
}

std::wstring GetRawCommandLine()
{
    return JoinCommandLine(Arguments());
}

std::uint32_t CurrentProcessId()
{
    return static_cast<std::uint32_t>(getpid());
}

} // namespace qrnv

#include "writer/LogWriter.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    return qrnv::test::RunLogWriter(arguments);
}

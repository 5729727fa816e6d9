#include "writer/LogWriter.h"

#include "sdk/text/TextConvert.h"

int main(int argc, char** argv)
{
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(qrnv::Utf8ToWide(argv[i]));
    }
    return qrnv::test::RunLogWriter(arguments);
}

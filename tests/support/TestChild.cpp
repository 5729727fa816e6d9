// qrnv_test_child: a program for the process tests to start. It writes the arguments it
// received, one a line in UTF-8, to the file after "--record", and ends with the exit code
// after "--exit" (or, on POSIX, by the signal after "--signal"). It carries a version
// resource (TestChild.rc) or version section with two translations.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Client/system/VersionSection.h"

QRNV_VERSION_SECTION(QRNV_VERSION_TRANSLATION("040904b0")
                     QRNV_VERSION_STRING("ProductName", "Qrnv Test Child")
                     QRNV_VERSION_STRING("ProductVersion", "1.2.3.4")
                     QRNV_VERSION_STRING("Comments", "  padded  ")
                     QRNV_VERSION_TRANSLATION("040704b0")
                     QRNV_VERSION_STRING("ProductName", "Qrnv Testkind")
                     QRNV_VERSION_STRING("ProductVersion", "1.2.3.4"));

#ifdef _WIN32
#include "sdk/WinInclude.h"

namespace {

std::string Utf8(const wchar_t* text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0u, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
        out.resize(static_cast<std::size_t>(n - 1));
    }
    return out;
}

} // namespace

int wmain(int argc, wchar_t** wargv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(Utf8(wargv[i]));
    }
#else
#include <csignal>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv, argv + argc);
#endif
    int exitCode = 0;
    int signal = 0;
    std::string record;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--exit") {
            exitCode = std::atoi(args[i + 1].c_str());
        } else if (args[i] == "--record") {
            record = args[i + 1];
        } else if (args[i] == "--signal") {
            signal = std::atoi(args[i + 1].c_str());
        }
    }
    if (!record.empty()) {
        // Written under another name first, so a reader never sees half a record.
        const std::string partial = record + ".tmp";
        std::FILE* f = std::fopen(partial.c_str(), "wb");
        if (!f) {
            return 100;
        }
        for (std::size_t i = 1; i < args.size(); ++i) {
            std::fprintf(f, "%s\n", args[i].c_str());
        }
        std::fclose(f);
        std::remove(record.c_str());
        if (std::rename(partial.c_str(), record.c_str()) != 0) {
            return 101;
        }
    }
#ifndef _WIN32
    if (signal != 0) {
        std::raise(signal);
    }
#else
    (void)signal;
#endif
    return exitCode;
}

// qrnv-stamp-version: copies a program and writes version strings into the copy's reserved
// version section (see Client/system/VersionSection.h), so that one built program can carry
// the identity of any product: a stub, a stand-in worker or ad viewer.
//
//   qrnv-stamp-version [--translation LLLLCCCC] [--product-name TEXT]
//                      [--product-version TEXT] [--comments TEXT] [--string KEY=VALUE]...
//                      [--translation LLLLCCCC ...] INPUT OUTPUT
//
// Each --translation starts a translation (language and code page, 8 hex digits); strings
// given before the first one belong to 040904b0 (US English, Unicode). The section's whole
// content is replaced. Exit codes: 0 done, 1 usage, 2 input or output failed, 3 the input
// has no version section, 4 the strings do not fit into it or cannot be written.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "Client/system/VersionSection.h"
#include "sdk/text/TextConvert.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFile = 2;
constexpr int kExitNoSection = 3;
constexpr int kExitTooLarge = 4;

int Usage(const char* problem)
{
    std::fprintf(stderr,
                 "qrnv-stamp-version: %s\n"
                 "usage: qrnv-stamp-version [--translation LLLLCCCC] [--product-name TEXT] [--product-version TEXT]\n"
                 "                          [--comments TEXT] [--string KEY=VALUE]... INPUT OUTPUT\n",
                 problem);
    return kExitUsage;
}

bool ParseTranslation(std::string_view hex, qrnv::VersionTranslation& out)
{
    if (hex.size() != 8) {
        return false;
    }
    std::uint32_t value = 0;
    for (char c : hex) {
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        }
        if (d < 0) {
            return false;
        }
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    out.mLanguage = static_cast<std::uint16_t>(value >> 16);
    out.mCodePage = static_cast<std::uint16_t>(value & 0xFFFF);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<qrnv::VersionTranslation> translations;
    std::vector<std::string> files;
    auto current = [&]() -> qrnv::VersionTranslation& {
        if (translations.empty()) {
            translations.push_back({0x0409, 0x04B0, {}});
        }
        return translations.back();
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--translation") {
            qrnv::VersionTranslation t;
            if (!hasValue || !ParseTranslation(argv[++i], t)) {
                return Usage("--translation needs 8 hex digits");
            }
            translations.push_back(t);
        } else if (arg == "--product-name" || arg == "--product-version" || arg == "--comments") {
            if (!hasValue) {
                return Usage("a value is missing");
            }
            const wchar_t* key = arg == "--product-name" ? L"ProductName" : arg == "--product-version" ? L"ProductVersion" : L"Comments";
            current().mStrings.emplace_back(key, qrnv::Utf8ToWide(argv[++i]));
        } else if (arg == "--string") {
            const std::string_view pair = hasValue ? std::string_view(argv[++i]) : std::string_view();
            const std::size_t eq = pair.find('=');
            if (eq == std::string_view::npos || eq == 0) {
                return Usage("--string needs KEY=VALUE");
            }
            current().mStrings.emplace_back(qrnv::Utf8ToWide(pair.substr(0, eq)), qrnv::Utf8ToWide(pair.substr(eq + 1)));
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option");
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.size() != 2) {
        return Usage("INPUT and OUTPUT are needed");
    }

    std::ifstream in(files[0], std::ios::binary);
    struct stat st;
    if (!in || stat(files[0].c_str(), &st) != 0) {
        std::fprintf(stderr, "qrnv-stamp-version: cannot read %s\n", files[0].c_str());
        return kExitFile;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail()) {
        std::fprintf(stderr, "qrnv-stamp-version: cannot read %s\n", files[0].c_str());
        return kExitFile;
    }

    switch (qrnv::StampVersionSection(bytes, translations)) {
    case qrnv::StampResult::Ok:
        break;
    case qrnv::StampResult::NoSection:
        std::fprintf(stderr, "qrnv-stamp-version: %s has no version section\n", files[0].c_str());
        return kExitNoSection;
    case qrnv::StampResult::DoesNotFit:
        std::fprintf(stderr, "qrnv-stamp-version: the strings do not fit into the version section or contain a line break\n");
        return kExitTooLarge;
    }
    {
        std::ofstream out(files[1], std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "qrnv-stamp-version: cannot write %s\n", files[1].c_str());
            return kExitFile;
        }
    }
    // The copy runs like the original.
    if (chmod(files[1].c_str(), st.st_mode & 0777) != 0) {
        std::fprintf(stderr, "qrnv-stamp-version: cannot set the mode of %s\n", files[1].c_str());
        return kExitFile;
    }
    return kExitOk;
}

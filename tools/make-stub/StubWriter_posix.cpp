#include "StubWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "Client/system/ProcessArguments.h"
#include "Client/system/VersionSection.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::stub {

int WriteStub(const std::wstring& from, const std::wstring& to, const StubIdentity& identity, std::wstring& error)
{
    const std::string source = WideToUtf8(from);
    const std::string target = WideToUtf8(to);
    std::ifstream in(source, std::ios::binary);
    struct stat st;
    if (!in || stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = L"cannot read " + from;
        return kExitFile;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = L"cannot read " + from;
        return kExitFile;
    }

    VersionTranslation translation{identity.mLanguage, identity.mCodePage, {}};
    if (identity.mProductName) {
        translation.mStrings.emplace_back(L"ProductName", *identity.mProductName);
    }
    if (identity.mProductVersion) {
        translation.mStrings.emplace_back(L"ProductVersion", *identity.mProductVersion);
    }
    if (identity.mComments) {
        translation.mStrings.emplace_back(L"Comments", *identity.mComments);
    }
    switch (StampVersionSection(bytes, {translation})) {
    case StampResult::Ok:
        break;
    case StampResult::NoSection:
        error = from + L" has no version section";
        return kExitNoVersionInfo;
    case StampResult::DoesNotFit:
        error = L"the strings do not fit into the version section or contain a line break";
        return kExitCannotWrite;
    }

    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    // The copy runs like the original.
    if (!out || chmod(target.c_str(), st.st_mode & 0777) != 0) {
        unlink(target.c_str());
        error = L"cannot write " + to;
        return kExitFile;
    }
    return kExitOk;
}

} // namespace qrnv::stub

int main(int argc, char** argv)
{
    qrnv::SetProcessArguments(argc, argv);
    std::vector<std::wstring> arguments = qrnv::GetProcessArguments();
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    return qrnv::stub::RunMakeStub(arguments);
}

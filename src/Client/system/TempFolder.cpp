#include "Client/system/TempFolder.h"

#include "Client/Log.h"
#include "Client/ProgramInfo.h"
#include "Client/system/AsciiName.h"
#include "Client/system/FileSystem.h"
#include "Client/system/LastError.h"
#include "Client/system/Platform.h"
#include "Client/system/SplitVersion.h"
#include "sdk/text/Format.h"

namespace qrnv {
namespace {

// Creates one level and refuses it when someone else owns it.
bool CreatePrivateLevel(const std::wstring& folder)
{
    CreateDirectoryPath(folder, false);
    if (!IsPrivateFolder(folder)) {
        LogError(L"Folder %s refused: not a private folder of this user", folder);
        return false;
    }
    return true;
}

} // namespace

bool GetTempFolder(std::wstring& out)
{
    std::wstring path = GetSystemTempPath();
    if (path.empty()) {
        LogError(L"GetTempPath failed: %s", GetLastErrorText());
        return false;
    }
    path += L"Quarn Software";
    if (!CreatePrivateLevel(path)) {
        return false;
    }
    out = path + kPathSeparator;
    return true;
}

bool GetProductTempFolder(std::wstring& out, const ProgramInfo& info, bool withSeparator)
{
    std::wstring path;
    if (!GetTempFolder(path)) {
        return false;
    }
    path += L"Quarn Renova";
    if (!CreatePrivateLevel(path)) {
        return false;
    }
    path += kPathSeparator;

    std::wstring name;
    ToAsciiName(info.mProgramName, name);
    if (!info.mProgramVersion.empty()) {
        VersionParts parts;
        SplitVersion(info.mProgramVersion, parts);
        path = FormatText(L"%s%s %s", path, name, parts.mFirst);
    } else {
        path = FormatText(L"%s%s %lld", path, name, static_cast<long long>(CurrentUnixTime()));
    }
    if (!CreatePrivateLevel(path)) {
        return false;
    }
    if (withSeparator) {
        path += kPathSeparator;
    }
    out = path;
    return true;
}

} // namespace qrnv

#pragma once
// The record of the calling product's facts. Plain data: the logic that fills it lives in
// ProgramInfoAccess (completion, the process-wide record) and Discovery.

#include <cstdint>
#include <string>
#include <vector>

namespace qrnv {

struct ProgramInfo {
    std::wstring mProgramName;
    std::wstring mDisplayName;
    std::wstring mProductTitle;
    std::wstring mEscapedDisplayName;
    std::wstring mProgramVersion;
    std::wstring mInstallDate;
    std::wstring mInstalledLocation;
    std::wstring mProductCode;
    std::vector<std::wstring> mFileList;
    std::int32_t mLanguage = 0;
    std::int32_t mIsStubExe = 0;
    std::wstring mAffiliateId;
};

} // namespace qrnv

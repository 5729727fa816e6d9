#include "Client/system/VersionResource.h"

#include <cwchar>

#include "sdk/WinInclude.h"

namespace qrnv {
namespace {

class Win32VersionBlock : public VersionBlock {
public:
    explicit Win32VersionBlock(std::vector<unsigned char> data) : mData(std::move(data)) {}

    std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const override
    {
        std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
        void* p = nullptr;
        UINT bytes = 0;
        if (!VerQueryValueW(mData.data(), L"\\VarFileInfo\\Translation", &p, &bytes) || !p) {
            return pairs;
        }
        const auto* words = static_cast<const WORD*>(p);
        for (UINT i = 0; i < bytes / 4; ++i) {
            pairs.emplace_back(words[2 * i], words[2 * i + 1]);
        }
        return pairs;
    }

    bool QueryText(const std::wstring& subBlock, std::wstring& value) const override
    {
        void* p = nullptr;
        UINT chars = 0;
        if (!VerQueryValueW(mData.data(), subBlock.c_str(), &p, &chars) || !p) {
            return false;
        }
        const auto* text = static_cast<const wchar_t*>(p);
        value.assign(text, wcsnlen(text, chars));
        return true;
    }

private:
    // VerQueryValueW reads this block; it is not changed after the load.
    std::vector<unsigned char> mData;
};

} // namespace

std::unique_ptr<VersionBlock> OpenVersionBlock(const std::wstring& path)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) {
        return nullptr;
    }
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) {
        return nullptr;
    }
    return std::make_unique<Win32VersionBlock>(std::move(data));
}

} // namespace qrnv

#pragma once
// Texts from a file's version resource: the VERSIONINFO resource on Windows, the version
// section (VersionSection.h) of an ELF file on POSIX.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qrnv {

// The value of key (such as "ProductVersion") in every translation the file lists, in that
// order, joined by " / ": before every translation but the first " / " is appended, and
// after each value found the whole text is trimmed of white space at both ends. So two
// translations give "a / b", and a second one without the key gives "a / ". False when the
// file has no readable version resource (out empty) or no translation has the key (out
// then holds only the separators).
bool GetVersionResourceText(const std::wstring& path, const std::wstring& key, std::wstring& out);

// The platform's reader of one file's version resource.
class VersionBlock {
public:
    virtual ~VersionBlock() = default;
    // The (language, code page) pairs of "\VarFileInfo\Translation".
    virtual std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const = 0;
    // The value at a sub-block "\StringFileInfo\LLLLCCCC\Key"; false when there is none.
    virtual bool QueryText(const std::wstring& subBlock, std::wstring& value) const = 0;
};

// Null when the file has no readable version resource.
std::unique_ptr<VersionBlock> OpenVersionBlock(const std::wstring& path);

} // namespace qrnv

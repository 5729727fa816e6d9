#include "Client/system/ElfSection.h"

#include <cstring>
#include <string>

namespace qrnv {
namespace {

constexpr unsigned char kElfMagic[4] = {0x7F, 'E', 'L', 'F'};
constexpr unsigned char kClass32 = 1;
constexpr unsigned char kClass64 = 2;
constexpr unsigned char kLittleEndian = 1;
constexpr unsigned char kBigEndian = 2;
constexpr std::uint32_t kSectionNoBits = 8;      // SHT_NOBITS
constexpr std::uint32_t kSectionIndexExtended = 0xFFFF; // SHN_XINDEX
// More sections than any real program has; the bound keeps a hostile count from making
// us read a huge file entry by entry.
constexpr std::uint64_t kMaxSections = 65536 * 4;
// Section names of real programs fit many times over.
constexpr std::uint64_t kMaxNameTable = 1 << 20;

// One file's layout: word size and byte order.
struct Layout {
    bool is64 = false;
    bool bigEndian = false;

    std::uint64_t Get(const unsigned char* p, std::size_t size) const
    {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t at = bigEndian ? i : size - 1 - i;
            v = (v << 8) | p[at];
        }
        return v;
    }
    std::size_t Word() const { return is64 ? 8 : 4; }
};

struct SectionHeader {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

// True when [offset, offset + size) lies inside a file of fileSize bytes.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize)
{
    return offset <= fileSize && size <= fileSize - offset;
}

bool ReadSectionHeader(const ByteSource& file, const Layout& layout, std::uint64_t at, SectionHeader& out)
{
    // Elf32_Shdr is 40 bytes, Elf64_Shdr 64.
    unsigned char raw[64];
    const std::size_t size = layout.is64 ? 64 : 40;
    if (!Inside(at, size, file.Size()) || !file.ReadAt(at, raw, size)) {
        return false;
    }
    const std::size_t w = layout.Word();
    out.name = static_cast<std::uint32_t>(layout.Get(raw, 4));
    out.type = static_cast<std::uint32_t>(layout.Get(raw + 4, 4));
    // name, type, flags (word), addr (word), offset (word), size (word), link
    out.offset = layout.Get(raw + 8 + 2 * w, w);
    out.size = layout.Get(raw + 8 + 3 * w, w);
    out.link = static_cast<std::uint32_t>(layout.Get(raw + 8 + 4 * w, 4));
    return true;
}

} // namespace

bool MemoryByteSource::ReadAt(std::uint64_t offset, void* out, std::size_t size) const
{
    if (!Inside(offset, size, mBytes.size())) {
        return false;
    }
    std::memcpy(out, mBytes.data() + offset, size);
    return true;
}

std::optional<FileRange> FindElfSection(const ByteSource& file, std::string_view name)
{
    const std::uint64_t fileSize = file.Size();
    unsigned char header[64];
    if (fileSize < 52 || !file.ReadAt(0, header, 52) || std::memcmp(header, kElfMagic, 4) != 0) {
        return std::nullopt;
    }
    Layout layout;
    if (header[4] == kClass64) {
        layout.is64 = true;
    } else if (header[4] != kClass32) {
        return std::nullopt;
    }
    if (header[5] == kBigEndian) {
        layout.bigEndian = true;
    } else if (header[5] != kLittleEndian) {
        return std::nullopt;
    }
    if (layout.is64 && (fileSize < 64 || !file.ReadAt(0, header, 64))) {
        return std::nullopt;
    }

    // e_shoff, e_shentsize, e_shnum, e_shstrndx
    const std::uint64_t tableOffset = layout.is64 ? layout.Get(header + 0x28, 8) : layout.Get(header + 0x20, 4);
    const unsigned char* counts = header + (layout.is64 ? 0x3A : 0x2E);
    const std::uint64_t entrySize = layout.Get(counts, 2);
    std::uint64_t count = layout.Get(counts + 2, 2);
    std::uint64_t nameIndex = layout.Get(counts + 4, 2);
    if (tableOffset == 0 || entrySize < (layout.is64 ? 64u : 40u)) {
        return std::nullopt;
    }

    // Many sections: the real count and name-table index are kept in section 0.
    SectionHeader first;
    if (!ReadSectionHeader(file, layout, tableOffset, first)) {
        return std::nullopt;
    }
    if (count == 0) {
        count = first.size;
    }
    if (nameIndex == kSectionIndexExtended) {
        nameIndex = first.link;
    }
    if (count == 0 || count > kMaxSections || nameIndex >= count || !Inside(tableOffset, count * entrySize, fileSize)) {
        return std::nullopt;
    }

    SectionHeader names;
    if (!ReadSectionHeader(file, layout, tableOffset + nameIndex * entrySize, names) || names.type == kSectionNoBits ||
        names.size > kMaxNameTable || !Inside(names.offset, names.size, fileSize)) {
        return std::nullopt;
    }
    std::string table(static_cast<std::size_t>(names.size), '\0');
    if (!table.empty() && !file.ReadAt(names.offset, table.data(), table.size())) {
        return std::nullopt;
    }

    for (std::uint64_t i = 1; i < count; ++i) {
        SectionHeader s;
        if (!ReadSectionHeader(file, layout, tableOffset + i * entrySize, s)) {
            return std::nullopt;
        }
        if (s.name >= table.size()) {
            continue;
        }
        const std::size_t end = table.find('\0', s.name);
        if (end == std::string::npos || std::string_view(table).substr(s.name, end - s.name) != name) {
            continue;
        }
        if (s.type == kSectionNoBits || !Inside(s.offset, s.size, fileSize)) {
            return std::nullopt;
        }
        return FileRange{s.offset, s.size};
    }
    return std::nullopt;
}

} // namespace qrnv

#include "support/ElfBuilder.h"

namespace qrnv::test {
namespace {

std::uint64_t GetValue(const ElfLayout& layout, const std::string& bytes, std::size_t offset, std::size_t size)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t at = layout.bigEndian ? offset + i : offset + size - 1 - i;
        v = (v << 8) | static_cast<unsigned char>(bytes[at]);
    }
    return v;
}

} // namespace

void PutValue(const ElfLayout& layout, std::string& bytes, std::size_t offset, std::uint64_t value, std::size_t size)
{
    if (bytes.size() < offset + size) {
        bytes.resize(offset + size, '\0');
    }
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t at = layout.bigEndian ? offset + size - 1 - i : offset + i;
        bytes[at] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::string BuildElf(const ElfLayout& layout, const std::vector<ElfTestSection>& sections)
{
    const std::size_t headerSize = layout.is64 ? 64 : 52;
    const std::size_t entrySize = layout.is64 ? 64 : 40;
    const std::size_t word = layout.is64 ? 8 : 4;

    std::vector<ElfTestSection> all;
    all.push_back({"", "", 0});
    all.insert(all.end(), sections.begin(), sections.end());
    std::string names(1, '\0');
    std::vector<std::size_t> nameOffsets;
    for (const auto& s : all) {
        if (s.name.empty()) {
            nameOffsets.push_back(0);
            continue;
        }
        nameOffsets.push_back(names.size());
        names += s.name + '\0';
    }
    nameOffsets.push_back(names.size());
    names += std::string(".shstrtab") + '\0';
    all.push_back({".shstrtab", names, 3});

    std::string elf(headerSize, '\0');
    elf[0] = 0x7F;
    elf[1] = 'E';
    elf[2] = 'L';
    elf[3] = 'F';
    elf[4] = layout.is64 ? 2 : 1;
    elf[5] = layout.bigEndian ? 2 : 1;
    elf[6] = 1;

    std::vector<std::size_t> offsets;
    for (const auto& s : all) {
        offsets.push_back(elf.size());
        if (s.type != 8) {
            elf += s.content;
        }
    }
    while (elf.size() % 8 != 0) {
        elf.push_back('\0');
    }
    const std::size_t table = elf.size();
    elf.resize(table + entrySize * all.size(), '\0');
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::size_t at = table + i * entrySize;
        PutValue(layout, elf, at, nameOffsets[i], 4);
        PutValue(layout, elf, at + 4, all[i].type, 4);
        PutValue(layout, elf, at + 8 + 2 * word, i == 0 ? 0 : offsets[i], word);
        PutValue(layout, elf, at + 8 + 3 * word, all[i].content.size(), word);
    }

    if (layout.is64) {
        PutValue(layout, elf, 0x28, table, 8);
        PutValue(layout, elf, 0x34, headerSize, 2);
        PutValue(layout, elf, 0x3A, entrySize, 2);
        PutValue(layout, elf, 0x3C, all.size(), 2);
        PutValue(layout, elf, 0x3E, all.size() - 1, 2);
    } else {
        PutValue(layout, elf, 0x20, table, 4);
        PutValue(layout, elf, 0x28, headerSize, 2);
        PutValue(layout, elf, 0x2E, entrySize, 2);
        PutValue(layout, elf, 0x30, all.size(), 2);
        PutValue(layout, elf, 0x32, all.size() - 1, 2);
    }
    return elf;
}

ElfOffsets OffsetsOf(const ElfLayout& layout, const std::string& elf)
{
    ElfOffsets o;
    o.sectionTable = static_cast<std::size_t>(layout.is64 ? GetValue(layout, elf, 0x28, 8) : GetValue(layout, elf, 0x20, 4));
    o.entrySize = layout.is64 ? 64 : 40;
    o.countField = layout.is64 ? 0x3C : 0x30;
    return o;
}

} // namespace qrnv::test

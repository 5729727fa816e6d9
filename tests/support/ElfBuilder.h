#pragma once
// Small ELF files made in memory, for the tests of the section reader: just a header, the
// section contents and the section header table.

#include <cstdint>
#include <string>
#include <vector>

namespace qrnv::test {

struct ElfTestSection {
    std::string name;
    std::string content;
    std::uint32_t type = 1; // SHT_PROGBITS; 8 is SHT_NOBITS
};

struct ElfLayout {
    bool is64 = true;
    bool bigEndian = false;
};

// Sections: the null section, the given ones, then ".shstrtab" (the name table).
std::string BuildElf(const ElfLayout& layout, const std::vector<ElfTestSection>& sections);

// Offsets into what BuildElf made, to damage it on purpose.
struct ElfOffsets {
    std::size_t sectionTable = 0; // e_shoff
    std::size_t entrySize = 0;
    std::size_t countField = 0;   // where e_shnum is
};
ElfOffsets OffsetsOf(const ElfLayout& layout, const std::string& elf);

// Writes an integer of size bytes at offset in the file's byte order.
void PutValue(const ElfLayout& layout, std::string& bytes, std::size_t offset, std::uint64_t value, std::size_t size);

} // namespace qrnv::test

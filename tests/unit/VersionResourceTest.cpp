#include <gtest/gtest.h>

#include "Client/system/ElfSection.h"
#include "Client/system/VersionResource.h"
#include "Client/system/VersionSection.h"
#include "support/ElfBuilder.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

using test::BuildElf;
using test::ElfLayout;

// The test child carries two translations (its .rc file, or its version section).
TEST(VersionResource, ReadsEveryTranslationJoined)
{
    const std::wstring child = test::HelperProgramPath(L"qrnv_test_child");
    struct Case {
        const wchar_t* key;
        bool found;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"ProductName", true, L"Qrnv Test Child / Qrnv Testkind"},
        {L"ProductVersion", true, L"1.2.3.4 / 1.2.3.4"},
        {L"productname", true, L"Qrnv Test Child / Qrnv Testkind"},
        // Trimmed when found; the second translation has none, so the separator stays.
        {L"Comments", true, L"padded / "},
        {L"NoSuchKey", false, L" / "},
    };
    for (const auto& c : cases) {
        std::wstring out = L"left over";
        EXPECT_EQ(c.found, GetVersionResourceText(child, c.key, out)) << c.key;
        EXPECT_EQ(c.text, out) << c.key;
    }
}

TEST(VersionResource, FilesWithoutAReadableResourceGiveNothing)
{
    const test::ScopedFolder folder;
    const std::string program = test::ReadFileBytes(test::HelperProgramPath(L"qrnv_test_child"));
    ASSERT_GT(program.size(), 8192u);
    const std::wstring text = folder.Path() + L"plain.txt";
    const std::wstring cut = folder.Path() + L"cut.exe";
    ASSERT_TRUE(test::WriteFileBytes(text, "no program at all\n"));
    ASSERT_TRUE(test::WriteFileBytes(cut, program.substr(0, 4096)));

    for (const std::wstring& path : {text, cut, folder.Path() + L"missing.exe", folder.Path()}) {
        std::wstring out = L"left over";
        EXPECT_FALSE(GetVersionResourceText(path, L"ProductName", out)) << path;
        EXPECT_EQ(L"", out) << path;
    }
}

TEST(VersionSection, EncodesAndParsesTranslationsInOrder)
{
    const std::vector<VersionTranslation> in = {
        {0x0409, 0x04B0, {{L"ProductName", L"Acme \u00dcber \u4e0d"}, {L"ProductVersion", L"5.1.2"}}},
        {0x0407, 0x04E4, {{L"Comments", L"a = b"}, {L"Empty", L""}}},
    };
    const auto content = EncodeVersionSection(in, 256);
    ASSERT_TRUE(content);
    EXPECT_EQ(256u, content->size());
    EXPECT_EQ(0u, content->find("QRNVVER1\n[040904b0]\nProductName=Acme "));
    EXPECT_EQ('\0', content->back());

    const auto out = ParseVersionSection(*content);
    ASSERT_EQ(2u, out.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(in[i].mLanguage, out[i].mLanguage);
        EXPECT_EQ(in[i].mCodePage, out[i].mCodePage);
        EXPECT_EQ(in[i].mStrings, out[i].mStrings);
    }
}

TEST(VersionSection, RefusesWhatItCannotWriteOrFit)
{
    auto with = [](const wchar_t* key, const wchar_t* value) {
        return std::vector<VersionTranslation>{{0x0409, 0x04B0, {{key, value}}}};
    };
    EXPECT_FALSE(EncodeVersionSection(with(L"Key", L"two\nlines"), 256));
    EXPECT_FALSE(EncodeVersionSection(with(L"K=ey", L"v"), 256));
    EXPECT_FALSE(EncodeVersionSection(with(L"", L"v"), 256));
    EXPECT_FALSE(EncodeVersionSection(with(L"Key", std::wstring(300, L'x').c_str()), 256));
    // Exactly full leaves no NUL after the text: refused; one byte more fits.
    const std::size_t text = std::string("QRNVVER1\n[040904b0]\nKey=v\n").size();
    EXPECT_FALSE(EncodeVersionSection(with(L"Key", L"v"), text));
    EXPECT_TRUE(EncodeVersionSection(with(L"Key", L"v"), text + 1));
}

TEST(VersionSection, ParsingSkipsWhatIsNotOurs)
{
    EXPECT_TRUE(ParseVersionSection(std::string("NOTOURS1\n[040904b0]\nA=b\n")).empty());
    EXPECT_TRUE(ParseVersionSection(std::string("QRNVVER1\n")).empty());
    const auto t = ParseVersionSection(std::string("QRNVVER1\nA=before any\n[04090zb0]\n[040704b0]\nnoequals\n=x\nB=c\n\0C=d\n", 62));
    ASSERT_EQ(1u, t.size());
    EXPECT_EQ(0x0407, t[0].mLanguage);
    ASSERT_EQ(1u, t[0].mStrings.size());
    EXPECT_EQ(L"B", t[0].mStrings[0].first);
    EXPECT_EQ(L"c", t[0].mStrings[0].second);
}

TEST(ElfSection, FindsTheSectionInEveryLayout)
{
    for (const ElfLayout layout : {ElfLayout{true, false}, ElfLayout{true, true}, ElfLayout{false, false}, ElfLayout{false, true}}) {
        const std::string elf = BuildElf(layout, {{".text", "code"}, {".qrnv_version", "VERSION"}, {".bss", "", 8}});
        const MemoryByteSource source(elf);
        const auto range = FindElfSection(source, ".qrnv_version");
        ASSERT_TRUE(range) << layout.is64 << layout.bigEndian;
        EXPECT_EQ("VERSION", elf.substr(range->mOffset, range->mSize));
        EXPECT_FALSE(FindElfSection(source, ".qrnv"));
        EXPECT_FALSE(FindElfSection(source, ".bss")); // no content in the file
    }
}

TEST(ElfSection, DamagedFilesGiveNotFound)
{
    const ElfLayout layout;
    const std::string good = BuildElf(layout, {{".qrnv_version", "VERSION"}});
    const test::ElfOffsets at = test::OffsetsOf(layout, good);
    const std::size_t versionEntry = at.sectionTable + at.entrySize;
    ASSERT_TRUE(FindElfSection(MemoryByteSource(good), ".qrnv_version"));

    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"not ELF", "\x7F" "ELX" + good.substr(4)});
    cases.push_back({"empty", ""});
    cases.push_back({"cut in the header", good.substr(0, 40)});
    cases.push_back({"cut in the section table", good.substr(0, at.sectionTable + at.entrySize + 10)});
    std::string b = good;
    test::PutValue(layout, b, versionEntry + 24, 1u << 30, 8); // content offset beyond the end
    cases.push_back({"content outside", b});
    b = good;
    test::PutValue(layout, b, versionEntry + 32, ~0ull - 4, 8); // content size that wraps around
    cases.push_back({"size wraps", b});
    b = good;
    test::PutValue(layout, b, at.countField, 0xFFFF, 2); // more sections than the file holds
    cases.push_back({"count", b});
    b = good;
    test::PutValue(layout, b, at.countField + 2, 0xFFFE, 2); // name table index out of range
    cases.push_back({"name table index", b});
    b = good;
    test::PutValue(layout, b, versionEntry, 0xFFFFFF, 4); // name outside the name table
    cases.push_back({"name offset", b});
    b = good;
    test::PutValue(layout, b, 0x28, ~0ull, 8); // section table offset
    cases.push_back({"table offset", b});
    b = good;
    test::PutValue(layout, b, 0x3A, 8, 2); // entries smaller than a section header
    cases.push_back({"entry size", b});
    for (const auto& c : cases) {
        EXPECT_FALSE(FindElfSection(MemoryByteSource(c.bytes), ".qrnv_version")) << c.what;
    }
}

TEST(ElfSection, ReadsTheExtendedSectionCount)
{
    // With e_shnum 0 the count is in section 0's size, with e_shstrndx 0xFFFF the name
    // table index in its link field.
    const ElfLayout layout;
    std::string elf = BuildElf(layout, {{".qrnv_version", "VERSION"}});
    const test::ElfOffsets at = test::OffsetsOf(layout, elf);
    test::PutValue(layout, elf, at.countField, 0, 2);
    test::PutValue(layout, elf, at.countField + 2, 0xFFFF, 2);
    test::PutValue(layout, elf, at.sectionTable + 32, 3, 8);
    test::PutValue(layout, elf, at.sectionTable + 40, 2, 4);
    EXPECT_TRUE(FindElfSection(MemoryByteSource(elf), ".qrnv_version"));
}

} // namespace
} // namespace qrnv

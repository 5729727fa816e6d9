// The version resource of POSIX programs: an ELF file's version section found, its text
// parsed, and the texts read as discovery reads a stub's identity. The input is taken both
// as a whole file and as a section's content. Parsed translations must survive being
// encoded again and stamped into the file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Client/Discovery.h"
#include "Client/system/ElfSection.h"
#include "Client/system/VersionResource.h"
#include "Client/system/VersionSection.h"
#include "FuzzSupport.h"

namespace {

using namespace qrnv;

bool Same(const std::vector<VersionTranslation>& a, const std::vector<VersionTranslation>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].mLanguage != b[i].mLanguage || a[i].mCodePage != b[i].mCodePage || a[i].mStrings != b[i].mStrings) {
            return false;
        }
    }
    return true;
}

void CheckContent(std::string_view content)
{
    const std::vector<VersionTranslation> parsed = ParseVersionSection(content);
    // Room for every byte of the text turned into a replacement character.
    const auto encoded = EncodeVersionSection(parsed, content.size() * 3 + 64);
    if (!parsed.empty()) {
        // The parse never yields a key or value that the encoder refuses but for a CR.
        bool hasCr = false;
        for (const auto& t : parsed) {
            for (const auto& [k, v] : t.mStrings) {
                hasCr = hasCr || k.find(L'\r') != std::wstring::npos || v.find(L'\r') != std::wstring::npos;
            }
        }
        FUZZ_CHECK(encoded.has_value() || hasCr);
    }
    if (encoded) {
        FUZZ_CHECK(Same(ParseVersionSection(*encoded), parsed));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::QuietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = fuzz::Bytes(data, size);
    CheckContent(bytes);

    const MemoryByteSource memory(bytes);
    const auto range = FindElfSection(memory, kVersionSectionName);
    if (range) {
        FUZZ_CHECK(range->mOffset <= size && range->mSize <= size - range->mOffset);
    }
    const std::wstring file = fuzz::WriteScratchFile("program", bytes);
    const std::unique_ptr<VersionBlock> block = OpenVersionBlock(file);
    const bool usable = range && range->mSize >= kVersionSectionMagic.size() && range->mSize <= kVersionSectionMaxSize;
    if (!usable) {
        FUZZ_CHECK(!block);
        return 0;
    }
    const std::string_view content = bytes.substr(range->mOffset, range->mSize);
    CheckContent(content);
    const std::vector<VersionTranslation> translations = ParseVersionSection(content);
    FUZZ_CHECK(static_cast<bool>(block) == !translations.empty());
    if (block) {
        const auto pairs = block->Translations();
        FUZZ_CHECK(pairs.size() == translations.size());
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            FUZZ_CHECK(pairs[i].first == translations[i].mLanguage && pairs[i].second == translations[i].mCodePage);
        }
    }

    std::wstring text;
    GetVersionResourceText(file, L"ProductName", text);
    ProgramInfo record;
    ReadFromVersionResource(file, record);

    // Stamping the parsed translations back changes nothing but the section's content.
    std::string program(bytes);
    if (StampVersionSection(program, translations) == StampResult::Ok) {
        FUZZ_CHECK(program.size() == size);
        FUZZ_CHECK(program.compare(0, range->mOffset, bytes.substr(0, range->mOffset)) == 0);
        const std::size_t end = range->mOffset + range->mSize;
        FUZZ_CHECK(program.compare(end, std::string::npos, bytes.substr(end)) == 0);
        FUZZ_CHECK(Same(ParseVersionSection(std::string_view(program).substr(range->mOffset, range->mSize)), translations));
    }
    return 0;
}

#pragma once
// The version section: what a version resource is to a Windows program, for POSIX programs.
//
// A program reserves it once, in one of its source files, with
//
//     QRNV_VERSION_SECTION(QRNV_VERSION_TRANSLATION("040904b0")
//                          QRNV_VERSION_STRING("ProductName", "Quarn Renova")
//                          QRNV_VERSION_STRING("ProductVersion", "10.0.29"));
//
// which places a read-only ELF section ".qrnv_version" of exactly kVersionSectionSize bytes
// into the program. Its content is text:
//
//     "QRNVVER1\n"          magic line
//     "[LLLLCCCC]\n"        a translation: language and code page, four hex digits each
//     "Key=Value\n" ...     the translation's strings (UTF-8; the key has no "=", neither
//                           key nor value a line break or NUL)
//     "[LLLLCCCC]\n" ...    further translations, listed in this order
//     NUL bytes             up to the end of the reserved space
//
// A section without a translation reads as "no version resource". qrnv-stamp-version
// rewrites the content in a copy of a program, so that one built program (a stub, a
// stand-in worker) can carry any product's identity. On Windows the macro is empty:
// programs carry a VERSIONINFO resource there.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qrnv {

inline constexpr std::size_t kVersionSectionSize = 4096;
// Readers refuse anything larger: no program reserves more, so it is not ours.
inline constexpr std::size_t kVersionSectionMaxSize = 65536;
inline constexpr const char* kVersionSectionName = ".qrnv_version";
inline constexpr std::string_view kVersionSectionMagic = "QRNVVER1\n";

struct VersionTranslation {
    std::uint16_t mLanguage = 0;
    std::uint16_t mCodePage = 0;
    std::vector<std::pair<std::wstring, std::wstring>> mStrings;
};

// The translations of a section's content, in order. Empty when the magic is missing;
// lines that are neither a translation nor a string of one are skipped.
std::vector<VersionTranslation> ParseVersionSection(std::string_view content);

// The content for the translations, padded with NUL bytes to capacity; nullopt when a key
// or value cannot be written (empty key, "=" in a key, a line break or NUL) or the text
// does not fit with at least one NUL after it.
std::optional<std::string> EncodeVersionSection(const std::vector<VersionTranslation>& translations, std::size_t capacity);

enum class StampResult { Ok, NoSection, DoesNotFit };

// Rewrites, in the bytes of a program, the content of its version section with the
// translations; the program's size and everything else stay as they were. NoSection: the
// bytes are no ELF file with a usable section; DoesNotFit: EncodeVersionSection refused.
// The bytes are unchanged unless Ok.
StampResult StampVersionSection(std::string& program, const std::vector<VersionTranslation>& translations);

} // namespace qrnv

#define QRNV_VERSION_TRANSLATION(hex8) "[" hex8 "]\n"
#define QRNV_VERSION_STRING(key, value) key "=" value "\n"

#if defined(__ELF__)
#if defined(__has_attribute)
#if __has_attribute(retain)
#define QRNV_VERSION_RETAIN retain,
#endif
#endif
#ifndef QRNV_VERSION_RETAIN
#define QRNV_VERSION_RETAIN
#endif
// A literal longer than the reserved space does not compile.
#define QRNV_VERSION_SECTION(entries)                                                         \
    extern "C" __attribute__((section(".qrnv_version"), used, QRNV_VERSION_RETAIN aligned(16))) \
    const char qrnvVersionSection[::qrnv::kVersionSectionSize] = "QRNVVER1\n" entries
#else
#define QRNV_VERSION_SECTION(entries) static_assert(true, "")
#endif

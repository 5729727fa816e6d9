#pragma once
// Finding out the installed product when the command line does not describe it, and the
// naming steps after completion: the product title and the preview channel.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Client/ProgramInfo.h"

namespace qrnv {

// The source chain; always returns with the record filled as far as the sources allowed,
// at the least with the "Unknown" names of the user's language.
void DiscoverProductInfo(ProgramInfo& record);

// The sources of the chain, in its order; each is true when it filled the record. A source
// that fails may have changed fields already (the next one overwrites what it sets).

// The running executable's own version resource: a stub carries its product's identity.
bool ReadFromStubVersionResource(ProgramInfo& record);
// The same for any file's version resource.
bool ReadFromVersionResource(const std::wstring& file, ProgramInfo& record);
// The affiliate id and the language from a stub's comments: "$"-separated "A:<id>" and
// "L:<language>" segments, or a bare language id.
void ApplyStubComments(const std::wstring& comments, ProgramInfo& record);

// "VersionInfo.txt" in mInstalledLocation: name, version, language, product code.
bool ReadFromVersionInfoFile(ProgramInfo& record);

// The machine's uninstall entries: by location, by the location's "Programme" folder
// written as "Program Files", then by program name.
bool ReadFromRegistry(ProgramInfo& record);
// The uninstall sub-key whose value valueName equals wanted (without regard to ASCII case
// and one trailing separator); the newest InstallDate wins, the last enumerated among equals.
std::optional<std::wstring> FindUninstallKey(const std::wstring& valueName, const std::wstring& wanted);

// The installer's products: by location, or by program name when there is no location.
bool ReadFromMsiDB(ProgramInfo& record);

// The management class Win32_Product: by location, or by program name.
bool ReadFromWin32_Products(ProgramInfo& record);

// mProductTitle from mDisplayName with its edition word followed by "Edition".
void MakeProductTitle(ProgramInfo& record);

// Removes " [Preview Channel]" from both names when either ends with it.
bool StripPreviewChannelSuffix(ProgramInfo& record);

// True when the machine's product key has the number PreviewChannel = 1.
bool IsPreviewChannelEnabled(const ProgramInfo& record);

// Appends " [Preview Channel]" to program name, display name and title.
void AddPreviewChannelSuffix(ProgramInfo& record);

// The language of all texts: mLanguage, or the system's default when it is 0.
int EffectiveLanguage(int language);

// Numbers as the installer and the management class give them: decimal, a fraction and an
// exponent allowed, truncated toward zero and held within 32 bits.
std::int32_t ParseTruncatedNumber(const std::wstring& text);

// The lines of a "VersionInfo.txt" head: ANSI bytes, or UTF-8 or UTF-16 after a byte-order
// mark; broken at LF with a CR before it dropped, each cut at a NUL; at most maxLines.
std::vector<std::wstring> SplitVersionInfoLines(const std::string& bytes, std::size_t maxLines);

} // namespace qrnv

#pragma once
// Finding out the installed product when the command line does not describe it, and the
// naming steps after completion: the product title and the preview channel.

#include <string>

#include "Client/ProgramInfo.h"

namespace qrnv {

// The source chain; always returns with the record filled as far as the sources allowed,
// at the least with the "Unknown" names of the user's language.
void DiscoverProductInfo(ProgramInfo& record);

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

} // namespace qrnv

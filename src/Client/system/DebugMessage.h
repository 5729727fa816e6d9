#pragma once
// The developer's "Debug" message boxes and the start-up's library-loading restriction.

#include <string>

namespace qrnv {

// A message box with caption "Debug" and one OK button, no owner; waits until it is closed.
// POSIX: the text on the terminal, waiting for Enter when one is attached.
void ShowDebugMessage(const std::wstring& text);

// Later library loads search only the system folder, where the system offers that.
void RestrictLibrarySearchToSystemFolder();

} // namespace qrnv

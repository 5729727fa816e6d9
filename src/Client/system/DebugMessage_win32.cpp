#include "Client/system/DebugMessage.h"

#include "sdk/WinInclude.h"

namespace qrnv {

void ShowDebugMessage(const std::wstring& text)
{
    MessageBoxW(nullptr, text.c_str(), L"Debug", MB_OK);
}

void RestrictLibrarySearchToSystemFolder()
{
    // Looked up at run time: older systems do not have it, and then we go on without.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) {
        return;
    }
    auto fn = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (fn) {
        fn(0x800); // LOAD_LIBRARY_SEARCH_SYSTEM32
    }
}

} // namespace qrnv

#pragma once

namespace qrnv {

// The system's default locale identifier (GetSystemDefaultLCID; on POSIX from the locale
// environment: de_* 1031, ja_* 1041, anything else 1033).
int GetSystemDefaultLanguage();

} // namespace qrnv

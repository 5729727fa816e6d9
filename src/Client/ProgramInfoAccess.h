#pragma once
// The process-wide program information record: completed once at start-up, published, and
// read by every module afterwards.

#include <string>

#include "Client/ProgramInfo.h"

namespace qrnv {

// Validates the record, fills gaps by discovery and publishes it. 1 when it published (or
// kept the record empty for an empty program name), 0 when not. Start-up only.
int CompleteProgramInfo(ProgramInfo& record);

// The published record; discovered on first use when nothing was published. Read-only
// after the start-up.
const ProgramInfo& GetProgramInfo();

// Copies every field of the record into the process-wide one.
void PublishProgramInfo(const ProgramInfo& record);

// The install date ("%d%02d%02d") from the date of the client's file in the product folder,
// else of a file of the running program's name there; empty when neither exists.
std::wstring DeriveInstallDate(const std::wstring& folder);

// Every "&" doubled, for texts shown in static controls.
std::wstring DoubleAmpersands(const std::wstring& text);

// Forgets the process-wide record; for tests only.
void ResetProgramInfoForTests();

} // namespace qrnv

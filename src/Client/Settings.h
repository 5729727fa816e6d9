#pragma once
// The program's persistent settings in the registry: one key per product (and per product
// version) under the base key, in the user's hive and, for the check time, the machine's.
// Registry failures are silent: reads give their defaults, writes do nothing.

#include <cstdint>
#include <string>

#include "Client/ProgramInfo.h"

namespace qrnv {

// HKCU (and for the preview flag HKLM): "Debug", "DebugUrl_v2", "DebugBannerDownloadUrl_v2".
inline constexpr const wchar_t* kSettingsBaseKeyPath = L"Software\\Quarn\\Quarn Renova";

// The base key, "\", the program name.
std::wstring ProductKeyPath(const ProgramInfo& info);
// The product key, "\", the program version.
std::wstring ProductVersionKeyPath(const ProgramInfo& info);

// "Debug" (a 4-byte number) from the base key in HKCU; 0 when missing or of another type.
std::uint32_t GetDebugFlag();

// Stamps "LastUpdateCheck" in HKLM's product version key with the decimal seconds since
// 1970; nothing for a stub, nothing (silently) without the right to write the machine key.
void SetLastUpdateCheck(const ProgramInfo& info, std::int64_t time);
// Logs "ResetLastUpdateCheck()" and stores the time 0.
void ResetLastUpdateCheck(const ProgramInfo& info);
// The stored "LastUpdateCheck" text; false when the key or the text value is missing.
bool ReadLastUpdateCheck(const ProgramInfo& info, std::wstring& text);

// "UpdateResult" (number) and "UpdateResultString" (text) in HKCU's product key and then its
// product version key, for the calling product to read.
void StoreUpdateResult(const ProgramInfo& info, std::uint32_t code, const std::wstring& text);
// Creates both keys when missing and deletes the two values from them.
void ClearUpdateResult(const ProgramInfo& info);

// The text value from HKCU's product key when it has it (even empty), else from the base
// key, else empty.
std::wstring ReadUserSetting(const ProgramInfo& info, const std::wstring& name);
// The developer override of the web-service base address ("DebugUrl_v2"); empty when none.
std::wstring GetDebugUrl(const ProgramInfo& info);
// "DebugBannerDownloadUrl_v2" when non-empty, else GetDebugUrl.
std::wstring GetDebugBannerDownloadUrl(const ProgramInfo& info);

// "IgnoreProductVersionUpdate" from HKCU's product version key; "-1" when missing.
std::wstring GetIgnoredProductVersion(const ProgramInfo& info);
void SetIgnoredProductVersion(const ProgramInfo& info, const std::wstring& version);
// Stores the empty text: no version ignored.
void ClearIgnoredProductVersion(const ProgramInfo& info);

// "IgnoreProductMajorVersionUpgrade" (a decimal text) from HKCU's product key: its number
// (0 without digits), -1 when missing.
std::int32_t GetIgnoredMajorVersionUpgrade(const ProgramInfo& info);
void SetIgnoredMajorVersionUpgrade(const ProgramInfo& info, std::int32_t version);

// "MachineGuid" from HKLM "SOFTWARE\Microsoft\Cryptography"; where the platform has no such
// value, its own machine id. false, out unchanged, when there is none.
bool GetMachineGuid(std::wstring& out);

} // namespace qrnv

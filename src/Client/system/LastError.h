#pragma once
// The calling thread's last system error: GetLastError on Windows, errno elsewhere.

#include <cstdint>
#include <string>

namespace qrnv {

std::uint32_t GetLastErrorCode();
void SetLastErrorCode(std::uint32_t code);

// The system's message for the last error, line breaks removed, then " (%lu)" with the code;
// only " (%lu)" when the system has no message for it.
std::wstring GetLastErrorText();

// The system's message for a code, line breaks removed; empty when it has none.
std::wstring GetErrorMessage(std::uint32_t code);

// Error numbers that the portable logic compares against.
extern const std::uint32_t kErrorAlreadyExists;
extern const std::uint32_t kErrorFileNotFound;

} // namespace qrnv

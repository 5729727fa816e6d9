#pragma once

#include <cstdint>

namespace qrnv {

// Ends the process with the code: a normal exit that runs the usual clean-up (static
// objects, the log's close), from whatever thread calls it.
[[noreturn]] void EndProcess(std::uint32_t exitCode);

} // namespace qrnv

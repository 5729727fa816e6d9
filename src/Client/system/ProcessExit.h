#pragma once

#include <cstdint>

namespace qrnv {

// Ends the process with the code, from whatever thread calls it. Other threads (a check or a
// banner download still under way) may be running: the process ends at once, as Windows ends
// a process, without running static destructors under their feet. The log loses nothing (each
// line is on disk when written); standard output is flushed first.
[[noreturn]] void EndProcess(std::uint32_t exitCode);

} // namespace qrnv

#pragma once
// Scratch folders of the benchmarks, removed when the program ends.

#include <string>

namespace qrnv::bench {

// A new private folder under base (TMPDIR, else /tmp, when base is empty); "" on failure.
std::string MakeScratchFolder(const std::string& base = "");

} // namespace qrnv::bench

#pragma once
// A second writer for the log engine's concurrency tests: another process appending to the
// same file as the test program.

#include <string>
#include <vector>

namespace qrnv::test {

// Arguments: file, source tag, lines per thread, threads. Every line's body is
// "<tag> <thread> <number> " followed by a filler, so that lines are long enough to show
// interleaving. 0 when the file could be opened, 1 otherwise, 2 for bad arguments.
int RunLogWriter(const std::vector<std::wstring>& arguments);

} // namespace qrnv::test

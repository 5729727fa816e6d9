#pragma once
// The three parts of a dotted version text.

#include <string>

namespace qrnv {

struct VersionParts {
    std::wstring mFirst;
    std::wstring mSecond;
    std::wstring mRest;
};

} // namespace qrnv

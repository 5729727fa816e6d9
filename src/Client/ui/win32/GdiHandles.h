#pragma once
// Owners of the GDI objects the dialog window makes.

#include <memory>
#include <type_traits>

#include "sdk/WinInclude.h"

namespace qrnv {

struct GdiObjectDeleter {
    void operator()(void* object) const
    {
        if (object) {
            DeleteObject(static_cast<HGDIOBJ>(object));
        }
    }
};

using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using OwnedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using OwnedPen = std::unique_ptr<std::remove_pointer_t<HPEN>, GdiObjectDeleter>;
using OwnedBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

} // namespace qrnv

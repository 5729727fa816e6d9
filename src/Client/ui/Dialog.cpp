#include "Client/ui/Dialog.h"

namespace qrnv {

std::int32_t Dialog::DoModal()
{
    return 0;
}

} // namespace qrnv

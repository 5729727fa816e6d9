// Stand-in for the maker's ad viewer.
#include "StandIn.h"

int main(int argc, char** argv)
{
    const qrnv::standin::StandInSettings settings{QRNV_STANDIN_RECORD_VARIABLE, QRNV_STANDIN_EXIT_CODE_VARIABLE,
                                                 QRNV_STANDIN_NAME};
    return qrnv::standin::RunStandIn(argc, argv, settings);
}

// The stand-in's identity in its version section: the client reports the ProductVersion of
// the worker and the ad viewer it finds.
#include "Client/system/VersionSection.h"

QRNV_VERSION_SECTION(QRNV_VERSION_TRANSLATION("040904b0")
                     QRNV_VERSION_STRING("ProductName", QRNV_STANDIN_NAME)
                     QRNV_VERSION_STRING("ProductVersion", QRNV_STANDIN_PRODUCT_VERSION));

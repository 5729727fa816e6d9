// The client's own identity in its version section, as the version resource carries it on
// Windows: discovery tells the program itself from a product's stub by this name.
#include "Client/system/VersionSection.h"

QRNV_VERSION_SECTION(QRNV_VERSION_TRANSLATION("040904b0")
                     QRNV_VERSION_STRING("ProductName", "Quarn Renova")
                     QRNV_VERSION_STRING("ProductVersion", "10.0.29"));

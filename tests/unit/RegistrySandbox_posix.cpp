#include "RegistrySandbox.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "Client/system/TempFolder.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::test {

void RegistrySandbox::BeginStore()
{
    std::string pattern = WideToUtf8(GetSystemTempPath()) + "qrnv-registry-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("no temporary folder for the registry store");
    }
    mStoreRoot = pattern;
    if (const char* previous = std::getenv(kRegistryRootVariable)) {
        mPreviousRoot = previous;
    }
    setenv(kRegistryRootVariable, mStoreRoot.c_str(), 1);
}

void RegistrySandbox::EndStore()
{
    if (mPreviousRoot) {
        setenv(kRegistryRootVariable, mPreviousRoot->c_str(), 1);
    } else {
        unsetenv(kRegistryRootVariable);
    }
    std::error_code ignored;
    std::filesystem::remove_all(mStoreRoot, ignored);
}

} // namespace qrnv::test

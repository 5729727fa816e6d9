// Every file the unit tests make (logs among them) goes to a fresh temporary folder of this
// run, removed at the end: natively through TMPDIR, under Wine through TMP and TEMP.
#include <gtest/gtest.h>

#include "Client/Log.h"
#include "support/TestSupport.h"

namespace qrnv::test {
namespace {

class FreshTempFolder : public ::testing::Environment {
public:
    void SetUp() override
    {
        mFolder = MakeFreshFolder(L"unit");
        ASSERT_FALSE(mFolder.empty());
        SetTempFolder(mFolder);
    }
    void TearDown() override
    {
        // The log file must be closed before its folder can go (Windows keeps open files).
        ResetLogForTests();
        RemoveTree(mFolder);
    }

private:
    std::wstring mFolder;
};

[[maybe_unused]] ::testing::Environment* const gFreshTemp = ::testing::AddGlobalTestEnvironment(new FreshTempFolder);

} // namespace
} // namespace qrnv::test

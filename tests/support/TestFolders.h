#pragma once
// Throw-away folders for tests, and the paths of the helper programs beside the test.

#include <filesystem>
#include <string>

#include "support/TestSupport.h" // WriteFileBytes, ReadFileBytes

namespace qrnv::test {

// A new empty folder under the system's temporary path, removed with everything in it when
// the object goes. Path() ends with a separator.
class ScopedFolder {
public:
    ScopedFolder();
    ~ScopedFolder();
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;
    const std::wstring& Path() const { return mPath; }

private:
    std::wstring mPath;
};

// A ScopedFolder that is the system's temporary path while the object lives (TMPDIR on
// POSIX, TMP and TEMP on Windows).
class ScopedTempPath {
public:
    ScopedTempPath();
    ~ScopedTempPath();
    ScopedTempPath(const ScopedTempPath&) = delete;
    ScopedTempPath& operator=(const ScopedTempPath&) = delete;
    const std::wstring& Path() const { return mFolder.Path(); }

private:
    ScopedFolder mFolder;
    bool mHadTmp = false, mHadTemp = false;
    std::wstring mOldTmp, mOldTemp;
};

// An environment variable set (or, with nullptr, removed) while the object lives; the value
// before is put back at the end. Started programs inherit it.
class ScopedVariable {
public:
    ScopedVariable(const std::wstring& name, const std::wstring* value);
    ScopedVariable(const std::wstring& name, const std::wstring& value) : ScopedVariable(name, &value) {}
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring mName;
    bool mHad = false;
    std::wstring mOld;
};

// A program of the build beside the running test ("qrnv_test_child" gives the path of
// qrnv_test_child or qrnv_test_child.exe).
std::wstring HelperProgramPath(const std::wstring& name);

// A path of ours as the standard library's (UTF-8 bytes on POSIX).
std::filesystem::path ToFsPath(const std::wstring& path);

} // namespace qrnv::test

#pragma once
// What the update-service tests share: a registry and a temporary path of their own, the
// machine identifier set to a known value, and a product record published as the start-up
// publishes it.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Client/ProgramInfo.h"
#include "RegistrySandbox.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace tinyxml2 {
class XMLDocument;
}

namespace qrnv::test {

inline const std::wstring kTestMachineGuid = L"8f1c2d3e-4b5a-6978-8a9b-0c1d2e3f4a5b";
inline const std::wstring kSettingsKey = L"Software\\Quarn\\Quarn Renova";

class ServiceFixture : public ::testing::Test {
protected:
    ServiceFixture();
    ~ServiceFixture() override;

    // Publishes mInfo, after a test changed it, as the process-wide record.
    void Publish();
    // The product's temporary folder, with its final separator.
    std::wstring ProductFolder();
    // Copies a program of the build (see HelperProgramPath) into the product's temporary
    // folder under fileName.
    void PlaceProgram(const std::wstring& program, const std::wstring& fileName);

    // "DebugUrl_v2" in the user's product key.
    void SetDebugUrl(const std::wstring& url);
    std::optional<std::wstring> Text(RegHive hive, const std::wstring& path, const std::wstring& name);
    std::optional<std::uint32_t> Number(RegHive hive, const std::wstring& path, const std::wstring& name);
    void PutText(RegHive hive, const std::wstring& path, const std::wstring& name, const std::wstring& value);
    std::optional<std::wstring> LastUpdateCheck() { return Text(RegHive::LocalMachine, mVersionKey, L"LastUpdateCheck"); }

    LogCapture mLog; // made before the temporary path moves, so the log file stays where it is
    RegistrySandbox mSandbox;
    ScopedTempPath mTemp;
    ProgramInfo mInfo;
    std::wstring mProductKey;
    std::wstring mVersionKey;
};

// The child elements' names of the document's root, in order.
std::vector<std::string> ChildNames(const tinyxml2::XMLDocument& doc);
// The text of the root's child element; nothing when it is missing, "" when it has no text.
std::optional<std::string> ChildText(const tinyxml2::XMLDocument& doc, const char* name);
// The lines of a text ended by line feeds (the last one included when it has none).
std::vector<std::wstring> SplitLines(const std::wstring& text);
// True when the line is the MAC element with an address of six hexadecimal groups, or empty.
bool IsMacLine(const std::wstring& line);

} // namespace qrnv::test

#include "Client/Discovery.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <memory>
#include <string_view>

#include "Client/CmdLineInfo.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/system/FileSystem.h"
#include "Client/system/InstallerDatabase.h"
#include "Client/system/ModulePath.h"
#include "Client/system/OsVersion.h"
#include "Client/system/Platform.h"
#include "Client/system/Registry.h"
#include "Client/system/VersionResource.h"
#include "Client/system/Wmi.h"
#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {
namespace {

constexpr std::wstring_view kPreviewSuffix = L" [Preview Channel]";
constexpr std::wstring_view kEdition = L"Edition";
constexpr std::array<std::wstring_view, 6> kEditionWords = {L"Professional", L"Server", L"Workstation",
                                                            L"Tech",         L"Admin",  L"Express"};
constexpr std::wstring_view kMedia = L"Media";

// This program's own product name: a copy that carries it is no product's stub.
constexpr const wchar_t* kOwnProductName = L"Quarn Renova";
constexpr const wchar_t* kVersionInfoFileName = L"VersionInfo.txt";
// The file has four short lines; its head is all that is read, however large it is.
constexpr std::size_t kVersionInfoMaxBytes = 64 * 1024;
constexpr std::size_t kVersionInfoLines = 4;

constexpr const wchar_t* kUninstallKeyPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::size_t kUninstallSearchChars = 130;
constexpr std::size_t kUninstallValueChars = 129;

// Each object of the management query is waited for this long at most.
constexpr std::uint32_t kWmiResultWaitMs = 5000;

// White space as the C runtime's iswspace sees it in the "C" locale.
bool IsBlank(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// Only A to Z: the comparison must not depend on a locale.
std::wstring AsciiLower(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

void RemoveOneTrailingSeparator(std::wstring& text)
{
    if (!text.empty() && text.back() == kPathSeparator) {
        text.pop_back();
    }
}

void AppendSeparatorIfMissing(std::wstring& text)
{
    if (text.empty() || text.back() != kPathSeparator) {
        text.push_back(kPathSeparator);
    }
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    for (std::size_t pos = text.find(what); pos != std::wstring::npos; pos = text.find(what, pos + with.size())) {
        text.replace(pos, what.size(), with);
    }
    return text;
}

void SetDisplayName(ProgramInfo& r, const std::wstring& name)
{
    r.mProgramName = name;
    r.mDisplayName = name;
    r.mEscapedDisplayName = DoubleAmpersands(r.mDisplayName);
}

bool EndsWith(const std::wstring& text, std::wstring_view suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void RemoveAll(std::wstring& text, std::wstring_view what)
{
    std::size_t pos;
    while ((pos = text.find(what)) != std::wstring::npos) {
        text.erase(pos, what.size());
    }
}

// The word at pos gets "Edition" after itself and the one character that follows it, or a
// blank and "Edition" at the end when nothing follows.
void NormaliseEdition(std::wstring& title, std::size_t pos, std::size_t wordLength)
{
    const std::size_t e = pos + wordLength + 1;
    if (e < title.size()) {
        title.insert(e, kEdition);
    } else {
        title += L" ";
        title += kEdition;
    }
}

// An uninstall entry's install date: a number, or the text of eight digits that Windows
// Installer writes there. Anything else counts as 0.
std::uint32_t ReadInstallDate(const RegKey& key)
{
    std::uint32_t number = 0;
    if (key.ReadNumber(L"InstallDate", number)) {
        return number;
    }
    std::wstring text;
    if (key.ReadText(L"InstallDate", text, kUninstallSearchChars)) {
        const std::int32_t value = ParseNumber(text);
        return value > 0 ? static_cast<std::uint32_t>(value) : 0;
    }
    return 0;
}

// UTF-16 code units as a text: on platforms with 32-bit characters a surrogate pair
// becomes one character and a lone surrogate U+FFFD.
std::wstring FromUtf16(const std::string& bytes, std::size_t start, bool bigEndian)
{
    std::wstring out;
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        const char16_t unit = static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
        if constexpr (sizeof(wchar_t) == 2) {
            out.push_back(static_cast<wchar_t>(unit));
        } else {
            const bool high = unit >= 0xD800 && unit <= 0xDBFF;
            const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
            if (high && i + 3 < bytes.size()) {
                const auto c0 = static_cast<unsigned char>(bytes[i + 2]);
                const auto c1 = static_cast<unsigned char>(bytes[i + 3]);
                const char16_t next = static_cast<char16_t>(bigEndian ? (c0 << 8) | c1 : (c1 << 8) | c0);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00)));
                    i += 2;
                    continue;
                }
            }
            out.push_back(high || low ? L'\xFFFD' : static_cast<wchar_t>(unit));
        }
    }
    return out;
}

} // namespace

int EffectiveLanguage(int language)
{
    return language != 0 ? language : GetSystemDefaultLanguage();
}

std::int32_t ParseTruncatedNumber(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    double value = 0.0;
    bool digits = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10.0 + (text[i] - L'0');
        digits = true;
    }
    if (i < text.size() && text[i] == L'.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            value += (text[i] - L'0') * scale;
            scale /= 10.0;
            digits = true;
        }
    }
    if (digits && i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) {
            negativeExponent = text[j] == L'-';
            ++j;
        }
        int exponent = 0;
        bool exponentDigits = false;
        for (; j < text.size() && text[j] >= L'0' && text[j] <= L'9'; ++j) {
            exponent = std::min(exponent * 10 + (text[j] - L'0'), 1000);
            exponentDigits = true;
        }
        if (exponentDigits) {
            value *= std::pow(10.0, negativeExponent ? -exponent : exponent);
        }
    }
    if (negative) {
        value = -value;
    }
    if (!(value == value)) {
        return 0;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<std::int32_t>(value); // toward zero
}

std::vector<std::wstring> SplitVersionInfoLines(const std::string& bytes, std::size_t maxLines)
{
    std::wstring text;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = Utf8ToWide(std::string_view(bytes).substr(3));
    } else if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) {
        text = FromUtf16(bytes, 2, false);
    } else if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFE\xFF") == 0) {
        text = FromUtf16(bytes, 2, true);
    } else {
        text = AnsiToWide(bytes);
    }
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < maxLines) {
        std::size_t end = text.find(L'\n', start);
        const std::size_t next = end == std::wstring::npos ? text.size() : end + 1;
        if (end == std::wstring::npos) {
            end = text.size();
        } else if (end > start && text[end - 1] == L'\r') {
            --end;
        }
        std::wstring line = text.substr(start, end - start);
        const std::size_t nul = line.find(L'\0');
        if (nul != std::wstring::npos) {
            line.erase(nul);
        }
        lines.push_back(std::move(line));
        start = next;
    }
    return lines;
}

void ApplyStubComments(const std::wstring& comments, ProgramInfo& r)
{
    std::size_t start = 0;
    while (start <= comments.size()) {
        std::size_t end = comments.find(L'$', start);
        if (end == std::wstring::npos) {
            end = comments.size();
        }
        const std::wstring segment = comments.substr(start, end - start);
        start = end + 1;
        if (segment.empty()) {
            continue;
        }
        const std::size_t colon = segment.find(L':');
        const std::wstring key = segment.substr(0, colon);
        std::wstring value;
        if (colon != std::wstring::npos) {
            const std::size_t after = segment.find(L':', colon + 1);
            value = segment.substr(colon + 1, after == std::wstring::npos ? std::wstring::npos : after - colon - 1);
        }
        if (key == L"A") {
            r.mAffiliateId = value;
        } else if (key == L"L") {
            r.mLanguage = ParseNumber(value);
        } else {
            // Comments that are a bare language id.
            r.mLanguage = ParseNumber(comments);
        }
    }
}

bool ReadFromVersionResource(const std::wstring& file, ProgramInfo& r)
{
    if (!GetVersionResourceText(file, L"ProductName", r.mProgramName)) {
        r.mProgramName.clear();
        return false;
    }
    if (r.mProgramName == kOwnProductName) {
        r.mProgramName.clear();
        r.mDisplayName.clear();
        r.mIsStubExe = 0;
        return false;
    }
    r.mDisplayName = r.mProgramName;
    r.mIsStubExe = 1;
    r.mEscapedDisplayName = DoubleAmpersands(r.mDisplayName);
    if (!GetVersionResourceText(file, L"ProductVersion", r.mProgramVersion)) {
        return false;
    }
    std::wstring comments;
    if (!GetVersionResourceText(file, L"Comments", comments)) {
        return false;
    }
    ApplyStubComments(comments, r);
    return true;
}

bool ReadFromStubVersionResource(ProgramInfo& r)
{
    // The full path: a bare file name would be looked up along the library search path,
    // which the start-up restricts to the system folder.
    return ReadFromVersionResource(GetModulePath(), r);
}

bool ReadFromVersionInfoFile(ProgramInfo& r)
{
    if (r.mInstalledLocation.empty()) {
        return false;
    }
    std::string bytes;
    if (!ReadFileHead(r.mInstalledLocation + kVersionInfoFileName, kVersionInfoMaxBytes, bytes)) {
        return false;
    }
    const std::vector<std::wstring> lines = SplitVersionInfoLines(bytes, kVersionInfoLines);
    if (lines.size() > 0) {
        SetDisplayName(r, lines[0]);
    }
    if (lines.size() > 1) {
        r.mProgramVersion = lines[1];
    }
    if (lines.size() > 2) {
        r.mLanguage = ParseNumber(lines[2]);
    }
    if (lines.size() > 3) {
        r.mProductCode = lines[3];
    }
    return lines.size() == kVersionInfoLines;
}

std::optional<std::wstring> FindUninstallKey(const std::wstring& valueName, const std::wstring& wanted)
{
    std::wstring want = wanted;
    RemoveOneTrailingSeparator(want);
    want = AsciiLower(want);

    RegKey uninstall;
    if (!uninstall.Open(RegHive::LocalMachine, kUninstallKeyPath, RegView::Registry64, false)) {
        return std::nullopt;
    }
    std::optional<std::wstring> result;
    std::uint32_t bestDate = 0;
    for (std::uint32_t index = 0;; ++index) {
        std::wstring name;
        const RegEnumResult listed = uninstall.EnumSubKey(index, name);
        if (listed == RegEnumResult::NoMore) {
            break;
        }
        if (listed == RegEnumResult::Error) {
            continue;
        }
        RegKey entry;
        if (!entry.Open(RegHive::LocalMachine, FormatText(L"%s\\%s", kUninstallKeyPath, name), RegView::Registry64, false)) {
            continue;
        }
        std::wstring value;
        if (!entry.ReadText(valueName, value, kUninstallSearchChars)) {
            continue;
        }
        RemoveOneTrailingSeparator(value);
        if (AsciiLower(value) != want) {
            continue;
        }
        const std::uint32_t date = ReadInstallDate(entry);
        if (date >= bestDate) {
            result = name;
            bestDate = date;
        }
    }
    return result;
}

bool ReadFromRegistry(ProgramInfo& r)
{
    std::optional<std::wstring> found;
    if (!r.mInstalledLocation.empty()) {
        found = FindUninstallKey(L"InstallLocation", r.mInstalledLocation);
    }
    if (!found && !r.mInstalledLocation.empty()) {
        // A German folder name for the programs folder, as an older installer wrote it.
        const std::wstring german = std::wstring(1, kPathSeparator) + L"Programme" + kPathSeparator;
        const std::wstring english = std::wstring(1, kPathSeparator) + L"Program Files" + kPathSeparator;
        found = FindUninstallKey(L"InstallLocation", ReplaceAll(r.mInstalledLocation, german, english));
    }
    if (!found && !r.mProgramName.empty()) {
        found = FindUninstallKey(L"ProgramName", r.mProgramName);
    }
    if (!found) {
        LogError(L"GetUninstallRegKey failed");
        return false;
    }
    const std::wstring path = FormatText(L"%s\\%s", kUninstallKeyPath, *found);
    RegKey entry;
    if (!entry.Open(RegHive::LocalMachine, path, RegView::Registry64, false)) {
        LogError(L"Can\u00b4t open RegKey: %s", path);
        return false;
    }
    r.mProductCode = *found;
    std::wstring value;
    if (entry.ReadText(L"DisplayName", value, kUninstallValueChars)) {
        SetDisplayName(r, Trimmed(value));
    }
    if (entry.ReadText(L"DisplayVersion", value, kUninstallValueChars)) {
        r.mProgramVersion = value;
    }
    if (entry.ReadText(L"InstallDate", value, kUninstallValueChars)) {
        r.mInstallDate = value;
    }
    if (entry.ReadText(L"InstallLocation", value, kUninstallValueChars)) {
        if (!value.empty()) {
            AppendSeparatorIfMissing(value);
        }
        r.mInstalledLocation = value;
    }
    std::uint32_t language = 0;
    if (entry.ReadNumber(L"Language", language)) {
        r.mLanguage = static_cast<std::int32_t>(language);
    }
    return true;
}

bool ReadFromMsiDB(ProgramInfo& r)
{
    if (!r.mInstalledLocation.empty()) {
        AppendSeparatorIfMissing(r.mInstalledLocation);
    }
    for (std::uint32_t index = 0;; ++index) {
        std::wstring code;
        // The end of the list (or a failure, which would repeat for every index).
        if (EnumInstalledProducts(index, code) != kInstallerSuccess) {
            LogError(L"ReadFromMsiDB failed");
            return false;
        }
        std::wstring value;
        if (!r.mInstalledLocation.empty()) {
            const std::uint32_t result = GetInstalledProductInfo(code, kInstallPropertyInstallLocation, value);
            if (result != kInstallerSuccess) {
                LogError(L"MsiGetProductInfo 'INSTALLPROPERTY_INSTALLLOCATION' failed and returned: %d", result);
                continue;
            }
            if (value.empty()) {
                continue;
            }
            AppendSeparatorIfMissing(value);
            if (value != r.mInstalledLocation) {
                continue;
            }
        } else {
            if (r.mProgramName.empty()) {
                return false;
            }
            const std::uint32_t result = GetInstalledProductInfo(code, kInstallPropertyProductName, value);
            if (result != kInstallerSuccess) {
                LogError(L"MsiGetProductInfo 'INSTALLPROPERTY_PRODUCTNAME' failed and returned: %d", result);
                continue;
            }
            if (value.empty() || value != r.mProgramName) {
                continue;
            }
        }

        LogInfo(L"Find product guid");
        r.mProductCode = code;
        if (GetInstalledProductInfo(code, kInstallPropertyInstallLocation, value) != kInstallerSuccess) {
            return false;
        }
        r.mInstalledLocation = value;
        if (GetInstalledProductInfo(code, kInstallPropertyProductName, value) != kInstallerSuccess) {
            return false;
        }
        SetDisplayName(r, Trimmed(value));
        if (GetInstalledProductInfo(code, kInstallPropertyVersionString, value) != kInstallerSuccess) {
            return false;
        }
        r.mProgramVersion = value;
        if (GetInstalledProductInfo(code, kInstallPropertyInstallDate, value) != kInstallerSuccess) {
            return false;
        }
        r.mInstallDate = value;
        if (GetInstalledProductInfo(code, kInstallPropertyLanguage, value) != kInstallerSuccess) {
            return false;
        }
        r.mLanguage = ParseTruncatedNumber(value);
        LogInfo(L"ReadFromMsiDB succeeded");
        return true;
    }
}

bool ReadFromWin32_Products(ProgramInfo& r)
{
    if (!r.mInstalledLocation.empty()) {
        AppendSeparatorIfMissing(r.mInstalledLocation);
    }
    // Releases what the steps made and ends COM on every way out.
    WmiSession session;
    std::int32_t status = session.InitializeCom();
    if (status < 0) {
        LogError(L"Failed to initialize COM library. %s", session.ErrorText(status));
        return false;
    }
    status = session.InitializeSecurity();
    if (status < 0) {
        LogError(L"Failed to initialize security. %s", session.ErrorText(status));
        return false;
    }
    status = session.CreateLocator();
    if (status < 0) {
        LogError(L"Failed to create IWbemLocator object. %s", session.ErrorText(status));
        return false;
    }
    status = session.ConnectServer(L"ROOT\\CIMV2");
    if (status < 0) {
        LogError(L"Could not connect. %s", session.ErrorText(status));
        return false;
    }
    LogInfo(L"Connected to ROOT\\CIMV2 WMI namespace");
    status = session.SetProxyBlanket();
    if (status < 0) {
        LogError(L"Could not set proxy blanket. %s", session.ErrorText(status));
        return false;
    }
    status = session.ExecQuery(L"WQL", L"SELECT * FROM Win32_Product");
    if (status < 0) {
        LogError(L"Query for product failed. %s", session.ErrorText(status));
        return false;
    }

    for (;;) {
        std::unique_ptr<WmiObject> object;
        status = session.Next(kWmiResultWaitMs, object);
        if (status != kWmiOk) {
            LogError(L"pEnumerator->Next() failed and returned: %d", status);
        }
        if (!object) {
            return false;
        }
        std::optional<std::wstring> value;
        if (!r.mInstalledLocation.empty()) {
            status = object->Get(L"InstallLocation", value);
            if (status < 0) {
                LogError(L"Get 'INSTALLPROPERTY_INSTALLLOCATION' failed and returned: %d", status);
                continue;
            }
            // An empty location names no folder.
            if (!value || value->empty()) {
                continue;
            }
            AppendSeparatorIfMissing(*value);
            if (*value != r.mInstalledLocation) {
                continue;
            }
        } else {
            if (r.mProgramName.empty()) {
                return false;
            }
            status = object->Get(L"Name", value);
            if (status < 0) {
                LogError(L"MsiGetProductInfo 'Name' failed and returned: %d", status);
                continue;
            }
            if (!value || *value != r.mProgramName) {
                continue;
            }
        }

        LogInfo(L"Find product guid");
        // Each property in turn: a failed read ends the search, a value that is no text
        // goes on with the next object and keeps what was set already.
        auto read = [&](const wchar_t* name, std::optional<std::wstring>& out) {
            return object->Get(name, out);
        };
        if (read(L"IdentifyingNumber", value) < 0) {
            return false;
        }
        if (!value) {
            continue;
        }
        r.mProductCode = *value;
        if (read(L"InstallLocation", value) < 0) {
            return false;
        }
        if (!value) {
            continue;
        }
        r.mInstalledLocation = *value;
        if (read(L"Name", value) < 0) {
            return false;
        }
        if (!value) {
            continue;
        }
        SetDisplayName(r, *value);
        if (read(L"Version", value) < 0) {
            return false;
        }
        if (!value) {
            continue;
        }
        r.mProgramVersion = *value;
        if (read(L"InstallDate2", value) < 0) {
            return false;
        }
        if (!value) {
            continue;
        }
        if (read(L"Language", value) < 0) {
            return false;
        }
        if (!value) {
            continue;
        }
        r.mLanguage = ParseTruncatedNumber(*value);
        return true;
    }
}

void DiscoverProductInfo(ProgramInfo& r)
{
    if (ReadFromStubVersionResource(r)) {
        return;
    }
    // From here on the product is the one installed where this program runs.
    std::wstring folder;
    r.mInstalledLocation = GetModuleDirectory(folder) ? folder : std::wstring();
    if (ReadFromVersionInfoFile(r) || ReadFromRegistry(r)) {
        return;
    }
    LogError(L"ReadFromRegistry failed");
    if (ReadFromMsiDB(r)) {
        return;
    }
    LogError(L"ReadFromMsiDB failed");
    if (ReadFromWin32_Products(r)) {
        return;
    }
    LogError(L"ReadFromWin32_Products failed");

    const int language = EffectiveLanguage(r.mLanguage);
    const wchar_t* unknown = language == kLanguageGerman ? L"Unbekannt" : language == kLanguageJapanese ? L"\u4e0d\u660e" : L"Unknown";
    r.mDisplayName = unknown;
    r.mProgramName = unknown;
}

void MakeProductTitle(ProgramInfo& r)
{
    r.mProductTitle = r.mDisplayName;
    std::wstring& title = r.mProductTitle;
    for (std::wstring_view word : kEditionWords) {
        const std::size_t pos = title.find(word);
        if (pos != std::wstring::npos) {
            NormaliseEdition(title, pos, word.size());
            return;
        }
    }
    const std::size_t pos = title.find(kMedia);
    if (pos != std::wstring::npos && pos + kMedia.size() == title.size()) {
        NormaliseEdition(title, pos, kMedia.size());
    }
}

bool StripPreviewChannelSuffix(ProgramInfo& r)
{
    if (!EndsWith(r.mProgramName, kPreviewSuffix) && !EndsWith(r.mDisplayName, kPreviewSuffix)) {
        return false;
    }
    RemoveAll(r.mProgramName, kPreviewSuffix);
    RemoveAll(r.mDisplayName, kPreviewSuffix);
    return true;
}

bool IsPreviewChannelEnabled(const ProgramInfo& r)
{
    RegKey key;
    std::uint32_t value = 0;
    return key.Open(RegHive::LocalMachine, L"Software\\Quarn\\Quarn Renova\\" + r.mProgramName, RegView::Registry64, false) &&
           key.ReadNumber(L"PreviewChannel", value) && value == 1;
}

void AddPreviewChannelSuffix(ProgramInfo& r)
{
    r.mProgramName += kPreviewSuffix;
    r.mDisplayName += kPreviewSuffix;
    r.mProductTitle += kPreviewSuffix;
    r.mEscapedDisplayName = DoubleAmpersands(r.mDisplayName);
}

} // namespace qrnv

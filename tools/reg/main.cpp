// qrnv-reg query|add|delete KEY [/v NAME] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]
// The registry store of the POSIX build, read and written in the manner of reg.exe: the same
// key notation, the same query layout, exit code 0 on success and 1 on failure.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "Client/system/Registry.h"
#include "sdk/text/TextConvert.h"

namespace {

using qrnv::RegEnumResult;
using qrnv::RegHive;
using qrnv::RegKey;
using qrnv::RegValueType;
using qrnv::RegView;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// Reads back texts of any length the store holds.
constexpr std::size_t kAnyLength = 1u << 24;

const wchar_t* const kNotFound = L"ERROR: The system was unable to find the specified registry key or value.";

void Print(const std::wstring& line)
{
    std::fputs((qrnv::WideToUtf8(line) + "\n").c_str(), stdout);
}

int Fail(const std::wstring& message)
{
    std::fflush(stdout);
    std::fputs((qrnv::WideToUtf8(message) + "\n").c_str(), stderr);
    return kExitFailed;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return text;
}

struct KeyName {
    RegHive hive = RegHive::CurrentUser;
    std::wstring path;    // below the hive, without a trailing "\"
    std::wstring display; // as reg.exe prints it: the long hive name, then the path
};

std::optional<KeyName> ParseKey(const std::wstring& text)
{
    const std::size_t slash = text.find(L'\\');
    const std::wstring hive = Upper(text.substr(0, slash));
    KeyName key;
    if (hive == L"HKCU" || hive == L"HKEY_CURRENT_USER") {
        key.hive = RegHive::CurrentUser;
        key.display = L"HKEY_CURRENT_USER";
    } else if (hive == L"HKLM" || hive == L"HKEY_LOCAL_MACHINE") {
        key.hive = RegHive::LocalMachine;
        key.display = L"HKEY_LOCAL_MACHINE";
    } else {
        return std::nullopt;
    }
    if (slash != std::wstring::npos) {
        key.path = text.substr(slash + 1);
    }
    while (!key.path.empty() && key.path.back() == L'\\') {
        key.path.pop_back();
    }
    if (!key.path.empty()) {
        key.display += L"\\" + key.path;
    }
    return key;
}

struct Options {
    std::optional<std::wstring> value;
    std::wstring type = L"REG_SZ";
    std::wstring data;
    bool force = false;
};

// The options after the key; false with a message on anything unknown or incomplete.
bool ParseOptions(const std::vector<std::wstring>& args, std::size_t from, Options& options, std::wstring& error)
{
    for (std::size_t i = from; i < args.size(); ++i) {
        std::wstring option = Upper(args[i]);
        if (!option.empty() && option[0] == L'-') {
            option[0] = L'/';
        }
        const bool hasNext = i + 1 < args.size();
        if (option == L"/F") {
            options.force = true;
        } else if ((option == L"/V" || option == L"/T" || option == L"/D") && hasNext) {
            const std::wstring& next = args[++i];
            if (option == L"/V") {
                options.value = next;
            } else if (option == L"/T") {
                options.type = Upper(next);
            } else {
                options.data = next;
            }
        } else if (option == L"/VE") {
            error = L"ERROR: /ve (the default value) is not supported.";
            return false;
        } else {
            error = L"ERROR: Invalid syntax near \"" + args[i] + L"\". Type \"qrnv-reg\" for usage.";
            return false;
        }
    }
    return true;
}

// Asks on the terminal; anything but yes (also the end of input) declines.
bool Confirm(const std::wstring& question)
{
    std::fputs((qrnv::WideToUtf8(question) + " (Yes/No)? ").c_str(), stdout);
    std::fflush(stdout);
    char answer[64] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) {
        std::fputs("\n", stdout);
        return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
}

bool ParseNumber(const std::wstring& text, std::uint32_t& out)
{
    if (text.empty()) {
        return false;
    }
    const std::string bytes = qrnv::WideToUtf8(text);
    const bool hex = bytes.size() > 2 && bytes[0] == '0' && (bytes[1] == 'x' || bytes[1] == 'X');
    unsigned long long value = 0;
    for (std::size_t i = hex ? 2 : 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return false;
        }
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull) {
            return false;
        }
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

// "    Name    REG_SZ    text" or "    Name    REG_DWORD    0x1a"; false when the value is
// missing or of a type the store does not hold.
bool ValueLine(const RegKey& key, const std::wstring& name, std::wstring& line)
{
    std::wstring text;
    std::uint32_t number = 0;
    if (key.ReadText(name, text, kAnyLength)) {
        line = L"    " + name + L"    REG_SZ    " + text;
        return true;
    }
    if (key.ReadNumber(name, number)) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", number);
        line = L"    " + name + L"    REG_DWORD    " + qrnv::Utf8ToWide(hex);
        return true;
    }
    return false;
}

int Query(const KeyName& name, const Options& options)
{
    RegKey key;
    if (!key.Open(name.hive, name.path, RegView::Registry64, false)) {
        return Fail(kNotFound);
    }
    if (options.value) {
        std::wstring line;
        if (!ValueLine(key, *options.value, line)) {
            return Fail(kNotFound);
        }
        Print(L"");
        Print(name.display);
        Print(line);
        Print(L"");
        return kExitOk;
    }
    // As reg.exe: a blank line; the key and its values, when it has any, and a blank line;
    // then every sub-key's full name.
    std::vector<std::wstring> lines;
    std::wstring valueName;
    RegValueType type;
    for (std::uint32_t i = 0; key.EnumValue(i, valueName, type) != RegEnumResult::NoMore; ++i) {
        std::wstring line;
        if (ValueLine(key, valueName, line)) {
            lines.push_back(line);
        }
    }
    Print(L"");
    if (!lines.empty()) {
        Print(name.display);
        for (const auto& line : lines) {
            Print(line);
        }
        Print(L"");
    }
    std::wstring subKey;
    for (std::uint32_t i = 0;; ++i) {
        const RegEnumResult result = key.EnumSubKey(i, subKey);
        if (result == RegEnumResult::NoMore) {
            break;
        }
        if (result == RegEnumResult::Ok) {
            Print(name.display + L"\\" + subKey);
        }
    }
    return kExitOk;
}

int Add(const KeyName& name, const Options& options)
{
    std::uint32_t number = 0;
    if (options.type != L"REG_SZ" && options.type != L"REG_DWORD") {
        return Fail(L"ERROR: Unsupported type " + options.type + L" (REG_SZ and REG_DWORD only).");
    }
    if (options.type == L"REG_DWORD" && !ParseNumber(options.data, number)) {
        return Fail(L"ERROR: /d needs a number for REG_DWORD (decimal, or hexadecimal after 0x) up to 4294967295.");
    }
    RegKey key;
    if (options.value && !options.force && key.Open(name.hive, name.path, RegView::Registry64, false)) {
        std::wstring ignored;
        if (ValueLine(key, *options.value, ignored) && !Confirm(L"Value " + *options.value + L" exists, overwrite")) {
            return Fail(L"The operation was cancelled.");
        }
    }
    if (!key.Create(name.hive, name.path, RegView::Registry64)) {
        return Fail(L"ERROR: The key could not be created or opened for writing (no access, or the store is unusable).");
    }
    if (options.value) {
        const bool written = options.type == L"REG_DWORD" ? key.WriteNumber(*options.value, number) : key.WriteText(*options.value, options.data);
        if (!written) {
            return Fail(L"ERROR: The value could not be written.");
        }
    }
    Print(L"The operation completed successfully.");
    return kExitOk;
}

int Delete(const KeyName& name, const Options& options)
{
    if (options.value) {
        RegKey key;
        std::wstring ignored;
        if (!key.Open(name.hive, name.path, RegView::Registry64, false) || !ValueLine(key, *options.value, ignored)) {
            return Fail(kNotFound);
        }
        if (!options.force && !Confirm(L"Delete the registry value " + *options.value)) {
            return Fail(L"The operation was cancelled.");
        }
        if (!key.Open(name.hive, name.path, RegView::Registry64, true) || !key.DeleteValue(*options.value)) {
            return Fail(L"ERROR: The value could not be deleted.");
        }
    } else {
        RegKey key;
        if (name.path.empty() || !key.Open(name.hive, name.path, RegView::Registry64, false)) {
            return Fail(kNotFound);
        }
        key.Close();
        if (!options.force && !Confirm(L"Permanently delete the registry key " + name.display)) {
            return Fail(L"The operation was cancelled.");
        }
        if (!qrnv::DeleteRegKeyTree(name.hive, name.path, RegView::Registry64)) {
            return Fail(L"ERROR: The key could not be deleted.");
        }
    }
    Print(L"The operation completed successfully.");
    return kExitOk;
}

int Usage()
{
    std::fputs("usage: qrnv-reg query  KEY [/v NAME]\n"
               "       qrnv-reg add    KEY [/v NAME [/t REG_SZ|REG_DWORD] [/d DATA]] [/f]\n"
               "       qrnv-reg delete KEY [/v NAME] [/f]\n"
               "KEY: HKCU\\path or HKLM\\path (also HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE).\n"
               "The stores live in $QRNV_REGISTRY_ROOT when it is set.\n",
               stderr);
    return kExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(qrnv::Utf8ToWide(argv[i]));
    }
    if (args.size() < 3) {
        return Usage();
    }
    const std::wstring operation = Upper(args[1]);
    const auto key = ParseKey(args[2]);
    if (!key) {
        return Fail(L"ERROR: Invalid key name \"" + args[2] + L"\": it starts with HKCU or HKLM.");
    }
    Options options;
    std::wstring error;
    if (!ParseOptions(args, 3, options, error)) {
        return Fail(error);
    }
    if (operation == L"QUERY") {
        return Query(*key, options);
    }
    if (operation == L"ADD") {
        return Add(*key, options);
    }
    if (operation == L"DELETE") {
        return Delete(*key, options);
    }
    return Usage();
}

// qrnv-installer: the product registrations of the POSIX stand-in installer database, which
// the client reads as Windows Installer's products and as the management class
// Win32_Product.
//
//   qrnv-installer register --code {GUID} [--name TEXT] [--version TEXT] [--location DIR]
//                           [--date YYYYMMDD] [--language ID]
//   qrnv-installer remove --code {GUID}
//   qrnv-installer list
//   qrnv-installer where
//
// Exit codes: 0 done, 1 usage, 2 the database could not be read or written, 3 no such product.

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "Client/system/InstallerDatabase.h"
#include "Client/system/ProcessArguments.h"
#include "sdk/text/TextConvert.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitStore = 2;
constexpr int kExitNoProduct = 3;

constexpr const char* kHelp =
    "usage: qrnv-installer register --code {GUID} [--name TEXT] [--version TEXT] [--location DIR]\n"
    "                               [--date YYYYMMDD] [--language ID]\n"
    "       qrnv-installer remove --code {GUID}\n"
    "       qrnv-installer list\n"
    "       qrnv-installer where\n"
    "\n"
    "How a product registers itself: its installer runs, after copying its files,\n"
    "    qrnv-installer register --code {PRODUCT-GUID} --name \"Quarn Tool\" --version 2.5.1 \\\n"
    "        --location \"/opt/Quarn Tool/\" --language 1031\n"
    "and its uninstaller runs qrnv-installer remove --code {PRODUCT-GUID}. Registering a code\n"
    "again replaces its properties. --date is the install date (today when not given); a\n"
    "property not given stays unset, and readers then find no value for it. The location is\n"
    "stored as given: the client compares it with its own folder after adding a final \"/\".\n"
    "\n"
    "The database is the SQLite file Installer.db beside the machine's registry store:\n"
    "/var/lib/quarn-renova/Installer.db, which only root may write, or the folder named by\n"
    "QRNV_REGISTRY_ROOT. Its table products(code, install_location, product_name,\n"
    "version_string, install_date, language) may also be written directly; rows are read in\n"
    "the order of the column seq. `where` prints the file's path.\n";

int Usage(const char* problem)
{
    std::fprintf(stderr, "qrnv-installer: %s\n%s", problem, kHelp);
    return kExitUsage;
}

bool IsHex(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as Windows Installer's product codes are written.
bool IsProductCode(const std::wstring& code)
{
    if (code.size() != 38 || code.front() != L'{' || code.back() != L'}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? code[i] != L'-' : !IsHex(code[i])) {
            return false;
        }
    }
    return true;
}

bool AllDigits(const std::wstring& text, std::size_t size)
{
    if (text.empty() || (size != 0 && text.size() != size)) {
        return false;
    }
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return true;
}

std::wstring Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return qrnv::Utf8ToWide(text);
}

std::string Shown(const std::optional<std::wstring>& value)
{
    return value ? qrnv::WideToUtf8(*value) : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    qrnv::SetProcessArguments(argc, argv);
    const std::vector<std::wstring> args = qrnv::GetProcessArguments();
    if (args.size() < 2) {
        return Usage("a command is needed");
    }
    const std::wstring& command = args[1];
    if (command == L"--help" || command == L"help") {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (command == L"where") {
        std::printf("%s\n", qrnv::InstallerDatabaseFile().c_str());
        return kExitOk;
    }
    if (command == L"list") {
        std::vector<qrnv::InstallerProduct> products;
        std::string error;
        if (qrnv::ReadInstallerProducts(products, error) == qrnv::InstallerStoreResult::Failed) {
            std::fprintf(stderr, "qrnv-installer: %s\n", error.c_str());
            return kExitStore;
        }
        for (const auto& p : products) {
            std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", qrnv::WideToUtf8(p.mProductCode).c_str(), Shown(p.mProductName).c_str(),
                        Shown(p.mVersionString).c_str(), Shown(p.mInstallLocation).c_str(), Shown(p.mInstallDate).c_str(),
                        Shown(p.mLanguage).c_str());
        }
        return kExitOk;
    }
    if (command != L"register" && command != L"remove") {
        return Usage("unknown command");
    }

    qrnv::InstallerProduct product;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (i + 1 >= args.size()) {
            return Usage("a value is missing");
        }
        const std::wstring& value = args[++i];
        if (option == L"--code") {
            product.mProductCode = value;
        } else if (command == L"register" && option == L"--name") {
            product.mProductName = value;
        } else if (command == L"register" && option == L"--version") {
            product.mVersionString = value;
        } else if (command == L"register" && option == L"--location") {
            product.mInstallLocation = value;
        } else if (command == L"register" && option == L"--date") {
            if (!AllDigits(value, 8)) {
                return Usage("--date needs eight digits");
            }
            product.mInstallDate = value;
        } else if (command == L"register" && option == L"--language") {
            if (!AllDigits(value, 0)) {
                return Usage("--language needs a decimal number");
            }
            product.mLanguage = value;
        } else {
            return Usage("unknown option");
        }
    }
    if (!IsProductCode(product.mProductCode)) {
        return Usage("--code needs a product code {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    }

    std::string error;
    if (command == L"remove") {
        switch (qrnv::RemoveInstallerProduct(product.mProductCode, error)) {
        case qrnv::InstallerStoreResult::Ok:
            return kExitOk;
        case qrnv::InstallerStoreResult::Missing:
            std::fprintf(stderr, "qrnv-installer: no product %s\n", qrnv::WideToUtf8(product.mProductCode).c_str());
            return kExitNoProduct;
        case qrnv::InstallerStoreResult::Failed:
            break;
        }
        std::fprintf(stderr, "qrnv-installer: %s\n", error.c_str());
        return kExitStore;
    }
    if (!product.mInstallDate) {
        product.mInstallDate = Today();
    }
    if (!qrnv::RegisterInstallerProduct(product, error)) {
        std::fprintf(stderr, "qrnv-installer: %s\n", error.c_str());
        return kExitStore;
    }
    return kExitOk;
}

#include "Catalog.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace qrnv::standin {
namespace {

using Json = nlohmann::ordered_json;

// Keeps a catalog of a test run small: it is read again for every request.
constexpr std::size_t kMaxCatalogBytes = 1 << 20;

const std::pair<FaultKind, const char*> kKindNames[] = {
    {FaultKind::Status, "status"},
    {FaultKind::Empty, "empty"},
    {FaultKind::EmptyString, "empty-string"},
    {FaultKind::NotXml, "not-xml"},
    {FaultKind::ElementFirst, "element-first"},
    {FaultKind::Cdata, "cdata"},
    {FaultKind::Slow, "slow"},
    {FaultKind::CloseMidBody, "close-mid-body"},
    {FaultKind::Oversized, "oversized"},
};

const char* const kServiceMethods[] = {"QuickCheck", "ReportUpdateStatus", "ReportUpgradeOfferStatus"};

std::optional<FaultKind> KindFromName(std::string_view name)
{
    for (const auto& [kind, text] : kKindNames) {
        if (name == text) {
            return kind;
        }
    }
    return std::nullopt;
}

bool CheckFaultLimits(const Fault& fault, std::string& error)
{
    if (fault.kind == FaultKind::Status && (fault.status < 201 || fault.status > 599)) {
        error = "fault status must be 201..599";
        return false;
    }
    if (fault.kind == FaultKind::Slow && (fault.delayMs < 0 || fault.delayMs > kMaxFaultDelayMs)) {
        error = "fault delayMs must be 0.." + std::to_string(kMaxFaultDelayMs);
        return false;
    }
    if (fault.kind == FaultKind::Oversized && (fault.bytes < 1 || fault.bytes > kMaxFaultBytes)) {
        error = "fault bytes must be 1.." + std::to_string(kMaxFaultBytes);
        return false;
    }
    return true;
}

bool CheckKeys(const Json& object, std::initializer_list<const char*> allowed, const std::string& where, std::string& error)
{
    for (const auto& item : object.items()) {
        if (std::none_of(allowed.begin(), allowed.end(), [&](const char* k) { return item.key() == k; })) {
            error = where + ": unknown key \"" + item.key() + "\"";
            return false;
        }
    }
    return true;
}

bool ReadString(const Json& object, const char* key, std::string& out, const std::string& where, std::string& error)
{
    if (!object.contains(key)) {
        return true;
    }
    const Json& v = object[key];
    if (!v.is_string()) {
        error = where + ": \"" + key + "\" must be a string";
        return false;
    }
    out = v.get<std::string>();
    return true;
}

std::optional<Fault> FaultFromJson(const Json& v, const std::string& where, std::string& error)
{
    if (!v.is_object()) {
        error = where + ": a fault must be an object";
        return std::nullopt;
    }
    if (!CheckKeys(v, {"kind", "status", "delayMs", "bytes", "methods"}, where, error)) {
        return std::nullopt;
    }
    Fault fault;
    if (!v.contains("kind") || !v["kind"].is_string()) {
        error = where + ": a fault needs a \"kind\" string";
        return std::nullopt;
    }
    const auto kind = KindFromName(v["kind"].get<std::string>());
    if (!kind) {
        error = where + ": unknown fault kind \"" + v["kind"].get<std::string>() + "\"";
        return std::nullopt;
    }
    fault.kind = *kind;
    if (v.contains("status")) {
        if (!v["status"].is_number_integer()) {
            error = where + ": \"status\" must be an integer";
            return std::nullopt;
        }
        fault.status = v["status"].get<int>();
    }
    if (v.contains("delayMs")) {
        if (!v["delayMs"].is_number_integer()) {
            error = where + ": \"delayMs\" must be an integer";
            return std::nullopt;
        }
        fault.delayMs = v["delayMs"].get<std::int64_t>();
    }
    if (v.contains("bytes")) {
        if (!v["bytes"].is_number_unsigned()) {
            error = where + ": \"bytes\" must be a positive integer";
            return std::nullopt;
        }
        fault.bytes = v["bytes"].get<std::uint64_t>();
    }
    if (v.contains("methods")) {
        if (!v["methods"].is_array()) {
            error = where + ": \"methods\" must be an array of method names";
            return std::nullopt;
        }
        for (const Json& m : v["methods"]) {
            const bool known = m.is_string() && (m.get<std::string>() == "*"
                || std::any_of(std::begin(kServiceMethods), std::end(kServiceMethods),
                               [&](const char* s) { return m.get<std::string>() == s; }));
            if (!known) {
                error = where + ": unknown method in \"methods\": " + m.dump();
                return std::nullopt;
            }
            fault.methods.push_back(m.get<std::string>());
        }
    } else {
        fault.methods.push_back("QuickCheck");
    }
    if (!CheckFaultLimits(fault, error)) {
        error = where + ": " + error;
        return std::nullopt;
    }
    return fault;
}

std::optional<Product> ProductFromJson(const Json& v, const std::string& where, bool needsName, std::string& error)
{
    if (!v.is_object()) {
        error = where + ": must be an object";
        return std::nullopt;
    }
    if (!CheckKeys(v, {"name", "newestVersion", "majorUpgradeVersion", "workerUrl", "adViewerUrl", "adCampaignId",
                       "errorMessage", "extraElements", "fault"},
                   where, error)) {
        return std::nullopt;
    }
    Product p;
    if (!ReadString(v, "name", p.name, where, error) || !ReadString(v, "newestVersion", p.newestVersion, where, error)
        || !ReadString(v, "workerUrl", p.workerUrl, where, error)
        || !ReadString(v, "adViewerUrl", p.adViewerUrl, where, error)
        || !ReadString(v, "adCampaignId", p.adCampaignId, where, error)
        || !ReadString(v, "errorMessage", p.errorMessage, where, error)) {
        return std::nullopt;
    }
    if (needsName && !v.contains("name")) {
        error = where + ": a product needs a \"name\"";
        return std::nullopt;
    }
    if (v.contains("majorUpgradeVersion")) {
        const Json& m = v["majorUpgradeVersion"];
        std::int64_t value = 0;
        if (m.is_number_integer()) {
            value = m.get<std::int64_t>();
        } else if (m.is_string()) {
            const std::string s = m.get<std::string>();
            const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
            if (r.ec != std::errc() || r.ptr != s.data() + s.size()) {
                error = where + ": \"majorUpgradeVersion\" must be a whole number";
                return std::nullopt;
            }
        } else {
            error = where + ": \"majorUpgradeVersion\" must be a whole number";
            return std::nullopt;
        }
        p.majorUpgradeVersion = value;
    }
    if (v.contains("extraElements")) {
        const Json& extra = v["extraElements"];
        if (!extra.is_object()) {
            error = where + ": \"extraElements\" must be an object of element names and texts";
            return std::nullopt;
        }
        for (const auto& item : extra.items()) {
            if (!item.value().is_string()) {
                error = where + ": extraElements." + item.key() + " must be a string";
                return std::nullopt;
            }
            p.extraElements.emplace_back(item.key(), item.value().get<std::string>());
        }
    }
    if (v.contains("fault")) {
        auto fault = FaultFromJson(v["fault"], where + ".fault", error);
        if (!fault) {
            return std::nullopt;
        }
        p.fault = *fault;
    }
    return p;
}

} // namespace

bool Fault::AppliesTo(std::string_view method) const
{
    return std::any_of(methods.begin(), methods.end(), [&](const std::string& m) { return m == "*" || m == method; });
}

const char* FaultKindName(FaultKind kind)
{
    for (const auto& [k, text] : kKindNames) {
        if (k == kind) {
            return text;
        }
    }
    return "none";
}

bool IsFileFaultKind(FaultKind kind)
{
    return kind == FaultKind::Status || kind == FaultKind::Empty || kind == FaultKind::Slow
        || kind == FaultKind::CloseMidBody;
}

const Product* Catalog::Find(const std::optional<std::string>& programName) const
{
    if (programName) {
        for (const Product& p : products) {
            if (p.name == *programName) {
                return &p;
            }
        }
    }
    return defaultProduct ? &*defaultProduct : nullptr;
}

std::optional<Catalog> ParseCatalog(std::string_view text, std::string& error)
{
    const Json root = Json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded()) {
        error = "catalog is not valid JSON";
        return std::nullopt;
    }
    if (!root.is_object()) {
        error = "catalog must be a JSON object";
        return std::nullopt;
    }
    if (!CheckKeys(root, {"default", "products", "fault", "files"}, "catalog", error)) {
        return std::nullopt;
    }
    Catalog catalog;
    if (root.contains("default")) {
        auto p = ProductFromJson(root["default"], "default", false, error);
        if (!p) {
            return std::nullopt;
        }
        catalog.defaultProduct = std::move(*p);
    }
    if (root.contains("products")) {
        if (!root["products"].is_array()) {
            error = "\"products\" must be an array";
            return std::nullopt;
        }
        std::set<std::string> names;
        std::size_t index = 0;
        for (const Json& v : root["products"]) {
            auto p = ProductFromJson(v, "products[" + std::to_string(index++) + "]", true, error);
            if (!p) {
                return std::nullopt;
            }
            if (!names.insert(p->name).second) {
                error = "product \"" + p->name + "\" is listed twice";
                return std::nullopt;
            }
            catalog.products.push_back(std::move(*p));
        }
    }
    if (root.contains("fault")) {
        auto fault = FaultFromJson(root["fault"], "fault", error);
        if (!fault) {
            return std::nullopt;
        }
        catalog.fault = *fault;
    }
    if (root.contains("files")) {
        if (!root["files"].is_object()) {
            error = "\"files\" must be an object of file names and faults";
            return std::nullopt;
        }
        for (const auto& item : root["files"].items()) {
            auto fault = FaultFromJson(item.value(), "files." + item.key(), error);
            if (!fault) {
                return std::nullopt;
            }
            if (!IsFileFaultKind(fault->kind)) {
                error = "files." + item.key() + ": a file fault is status, empty, slow or close-mid-body";
                return std::nullopt;
            }
            catalog.fileFaults[item.key()] = *fault;
        }
    }
    return catalog;
}

std::optional<Catalog> LoadCatalog(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open catalog " + path;
        return std::nullopt;
    }
    std::string text(kMaxCatalogBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxCatalogBytes) {
        error = "catalog " + path + " is larger than " + std::to_string(kMaxCatalogBytes) + " bytes";
        return std::nullopt;
    }
    auto catalog = ParseCatalog(text, error);
    if (!catalog) {
        error = path + ": " + error;
    }
    return catalog;
}

std::optional<Fault> ParseFaultOption(std::string_view text, std::string& error)
{
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const auto kind = KindFromName(name);
    if (!kind) {
        error = "unknown fault kind \"" + std::string(name) + "\"";
        return std::nullopt;
    }
    Fault fault;
    fault.kind = *kind;
    fault.methods = {"*"};
    if (colon != std::string_view::npos) {
        const std::string_view arg = text.substr(colon + 1);
        std::uint64_t value = 0;
        const auto r = std::from_chars(arg.data(), arg.data() + arg.size(), value);
        if (r.ec != std::errc() || r.ptr != arg.data() + arg.size()) {
            error = "fault argument \"" + std::string(arg) + "\" is not a number";
            return std::nullopt;
        }
        switch (fault.kind) {
        case FaultKind::Status: fault.status = value > 1000 ? 0 : static_cast<int>(value); break;
        case FaultKind::Slow: fault.delayMs = value > 1u << 30 ? -1 : static_cast<std::int64_t>(value); break;
        case FaultKind::Oversized: fault.bytes = value; break;
        default:
            error = "fault kind \"" + std::string(name) + "\" takes no argument";
            return std::nullopt;
        }
    }
    if (!CheckFaultLimits(fault, error)) {
        return std::nullopt;
    }
    return fault;
}

} // namespace qrnv::standin

#pragma once
// The product catalog the service answers from, and the faults it can be told to show.
// The format is described in README.md beside this file.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qrnv::standin {

enum class FaultKind {
    None,
    Status,       // the answer has this HTTP status code
    Empty,        // 200 with an empty body
    EmptyString,  // 200 with a wrapper that holds no text
    NotXml,       // 200 with a body that is not XML
    ElementFirst, // 200 with a wrapper whose first child is an element
    Cdata,        // not a fault: the answer as a CDATA section, the other form services use
    Slow,         // the normal answer after a delay
    CloseMidBody, // Content-Length of the whole answer, half of it sent, connection closed
    Oversized,    // a body of `bytes` bytes, streamed
};

// Longest delay and largest body a fault may ask for: the service stays bounded.
inline constexpr std::int64_t kMaxFaultDelayMs = 600000;
inline constexpr std::uint64_t kMaxFaultBytes = 8ull << 30;

struct Fault {
    FaultKind kind = FaultKind::None;
    int status = 500;
    std::int64_t delayMs = 60000;
    std::uint64_t bytes = 300000000;
    // Service methods it applies to ("QuickCheck", "ReportUpdateStatus",
    // "ReportUpgradeOfferStatus"); "*" for all.
    std::vector<std::string> methods;

    bool AppliesTo(std::string_view method) const;
};

const char* FaultKindName(FaultKind kind);

struct Product {
    std::string name; // UTF-8; matched exactly against the request's ProgramName
    std::string newestVersion;
    std::optional<std::int64_t> majorUpgradeVersion;
    std::string workerUrl;
    std::string adViewerUrl;
    std::string adCampaignId;
    std::string errorMessage;
    std::vector<std::pair<std::string, std::string>> extraElements;
    std::optional<Fault> fault;
};

struct Catalog {
    std::optional<Product> defaultProduct;
    std::vector<Product> products;
    std::optional<Fault> fault;              // for requests whose product has none
    std::map<std::string, Fault> fileFaults; // by file name

    // The product named `programName`, else the default entry, else nothing.
    const Product* Find(const std::optional<std::string>& programName) const;
};

// Parses catalog text; on failure returns nothing and says why in `error`.
std::optional<Catalog> ParseCatalog(std::string_view text, std::string& error);
std::optional<Catalog> LoadCatalog(const std::string& path, std::string& error);

// A fault given on the command line: "kind" or "kind:argument" (status:503, slow:5000,
// oversized:300000000). It applies to every service method.
std::optional<Fault> ParseFaultOption(std::string_view text, std::string& error);

// Kinds that make sense for a served file.
bool IsFileFaultKind(FaultKind kind);

} // namespace qrnv::standin

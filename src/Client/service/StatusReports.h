#pragma once
// Reports to the update web service: how a run ended, and the user's answer to a major
// upgrade offer. Each is posted on a thread of its own that nobody waits for.

#include <cstdint>
#include <memory>
#include <string>

namespace tinyxml2 {
class XMLDocument;
}

namespace qrnv {

// Status codes of the update status report.
inline constexpr std::int32_t kStatusUpdateAccepted = -1;
inline constexpr std::int32_t kStatusOfferIgnored = -3;
inline constexpr std::int32_t kStatusWorkerNotStarted = 1;
inline constexpr std::int32_t kStatusUserEndedUpdate = 2;
inline constexpr std::int32_t kStatusUnexpected = 3;
inline constexpr std::int32_t kStatusNoConnection = 4;
inline constexpr std::int32_t kStatusServerUnavailable = 5;
inline constexpr std::int32_t kStatusRequestNotBuilt = 6;
inline constexpr std::int32_t kStatusServerError = 7;
inline constexpr std::int32_t kStatusContactSupport = 8;

// Choices of the upgrade offer report.
inline constexpr std::int32_t kChoiceDontShowAgain = 1;
inline constexpr std::int32_t kChoiceInstallNow = 2;
inline constexpr std::int32_t kChoiceRemindLater = 3;

std::unique_ptr<tinyxml2::XMLDocument> BuildUpdateStatusReport(std::int32_t status, std::uint32_t updateId);
std::unique_ptr<tinyxml2::XMLDocument> BuildUpgradeOfferReport(std::int32_t choice, const std::wstring& programName,
                                                               const std::wstring& programVersion,
                                                               std::int32_t majorVersion);

// Start the report's thread and return at once.
//
// Nobody waits for a report while the run goes on; only before the process ends does the
// start-up (or the worker hand-off) give the reports still on their way a bounded time, so
// that they are not cut off by the process's own end.
void StartUpdateStatusReport(std::int32_t status, std::uint32_t updateId);
void StartUpgradeOfferReport(std::int32_t choice, const std::wstring& programName, const std::wstring& programVersion,
                             std::int32_t majorVersion);

// Waits until no report thread runs any more, at most timeoutMs; true when none runs.
bool WaitForRunningReports(std::uint32_t timeoutMs);

// How long the process's end waits for reports still on their way.
inline constexpr std::uint32_t kReportDrainMs = 1000;

} // namespace qrnv

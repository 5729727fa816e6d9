#pragma once
// What the update driver's check and hand-off give back to the dialog. Plain data.

#include <cstdint>

namespace qrnv {

// The numbers are fixed: the dialog switches on them and they go into status reports. The
// gaps are numbers that no result uses.
enum UpdateResult : std::int32_t {
    CHECK_NOT_DUE = 0,
    NO_UPDATE = 1,
    UPDATE_AVAILABLE = 3,
    UPDATE_AND_UPGRADE_AVAILABLE = 4,
    NEW_WORKER_AVAILABLE = 5,
    OLD_WORKER_AVAILABLE = 6,
    NO_WORKER_AVAILABLE = 7,
    SERVER_UNAVAILABLE = 9,
    NO_INTERNET_CONNECTION = 10,
    REQUEST_NOT_BUILT = 11,
    SERVER_ERROR = 12,
    WORKER_NOT_STARTED = 14,
    UPGRADE_AVAILABLE = 16,
    AD_CAMPAIGN_AVAILABLE = 18,
    NO_AD_CAMPAIGN = 19,
};

struct UpdateOutcome {
    UpdateResult mResult = CHECK_NOT_DUE;
    // Passed on as the update id of status reports; the driver always sets 0.
    std::uint32_t mDetail = 0;
};

} // namespace qrnv

#include "StandIn.h"

#include <cstdint>
#include <cstdio>

#include "Client/system/ProcessArguments.h"
#include "sdk/text/TextConvert.h"

namespace qrnv::standin {

std::optional<int> ParseExitCode(const std::wstring& text)
{
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (negative) {
        i = 1;
    }
    if (i >= text.size() || text.size() - i > 10) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - L'0');
    }
    value = negative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

int RunStandIn(int argc, char** argv, const StandInSettings& settings)
{
    TakeProcessArguments(argc, argv);
    const std::wstring line = GetRawCommandLine();

    bool recorded = true;
    if (const auto path = ReadEnvironment(settings.recordVariable); path && !path->empty()) {
        recorded = AppendLine(*path, line);
        if (!recorded) {
            std::fprintf(stderr, "%s: cannot append to %s\n", settings.programName, WideToUtf8(*path).c_str());
        }
    }

    int exitCode = 0;
    if (const auto text = ReadEnvironment(settings.exitCodeVariable); text && !text->empty()) {
        const auto parsed = ParseExitCode(*text);
        if (!parsed) {
            std::fprintf(stderr, "%s: %s is not a whole number: \"%s\"\n", settings.programName,
                         WideToUtf8(settings.exitCodeVariable).c_str(), WideToUtf8(*text).c_str());
            return kExitBadExitCodeSetting;
        }
        exitCode = *parsed;
    }
    return recorded ? exitCode : kExitRecordFailed;
}

} // namespace qrnv::standin

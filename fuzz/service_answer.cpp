// The update service's answer as the client reads it: the HTTP body widened as PostUrl
// widens it, unwrapped, and read by the driver. The input is also taken as the inner
// document itself, and wrapped as the service wraps it: unwrapping must give it back.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Client/service/HttpWrapper.h"
#include "Client/service/QuickCheck.h"
#include "Client/service/WebService.h"
#include "FuzzSupport.h"

namespace {

using namespace qrnv;

// The two forms the service writes the inner document in: escaped text and CDATA.
std::string WrapEscaped(std::string_view inner)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<string xmlns=\"http://tempuri.org/\">";
    for (char c : inner) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break; // a raw CR would be normalised away
        default: out += c;
        }
    }
    return out + "</string>";
}

std::string WrapCdata(std::string_view inner)
{
    return "<string xmlns=\"http://tempuri.org/\"><![CDATA[" + std::string(inner) + "]]></string>";
}

struct Fields {
    std::int32_t hasServerError;
    std::wstring workerUrl, maxVersion, adViewerUrl, adCampaignId;
    std::int32_t majorUpgrade;
    bool operator==(const Fields&) const = default;
};

Fields Read(const std::string& answer)
{
    QuickCheck check;
    check.ReadResponse(answer);
    return {check.mHasServerError, check.mRenovaWorkerUrl, check.mMaxUpdateableProductVersion, check.mAdViewerUrl,
            check.mAdCampaignId, check.mMajorUpgradeProductVersion};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::QuietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = fuzz::Bytes(data, size);

    // The body as it came from the service.
    const std::string answer = UnwrapServiceAnswer(WidenAnswerBytes(bytes));
    // References only ever shorten the text.
    FUZZ_CHECK(answer.size() <= size);
    Read(answer);

    // The input as the inner document. Bytes above 0x7F are not given back by the
    // widening (documented), a NUL ends the text: the round trip holds for the rest.
    const std::string inner(bytes);
    const Fields direct = Read(inner);
    bool plain = true;
    for (unsigned char c : bytes) {
        plain = plain && c != 0 && c < 0x80;
    }
    // A text of white space only is no text node for the XML library: it unwraps to the
    // empty answer, which the driver treats as none.
    if (plain && inner.find_first_not_of(" \t\n\r\v\f") != std::string::npos) {
        const std::string unwrapped = UnwrapServiceAnswer(WidenAnswerBytes(WrapEscaped(inner)));
        FUZZ_CHECK(unwrapped == inner);
        FUZZ_CHECK(Read(unwrapped) == direct);
        if (inner.find("]]>") == std::string::npos && inner.find('\r') == std::string::npos && !inner.empty()) {
            FUZZ_CHECK(UnwrapServiceAnswer(WidenAnswerBytes(WrapCdata(inner))) == inner);
        }
    }
    return 0;
}

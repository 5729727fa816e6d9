#include "Answer.h"

#include <limits>

#include <tinyxml2.h>

#include "FormText.h"

namespace qrnv::standin {

std::optional<std::string> FlatDocument::Child(std::string_view name) const
{
    for (const auto& [n, text] : children) {
        if (n == name) {
            return text;
        }
    }
    return std::nullopt;
}

std::optional<FlatDocument> ParseFlatDocument(const std::string& text)
{
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS || !doc.RootElement()) {
        return std::nullopt;
    }
    FlatDocument flat;
    flat.root = doc.RootElement()->Name();
    for (auto* e = doc.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* t = e->GetText();
        flat.children.emplace_back(e->Name(), t ? t : "");
    }
    return flat;
}

const char* RequestModeName(RequestMode mode)
{
    switch (mode) {
    case RequestMode::QuickCheck: return "QuickCheck";
    case RequestMode::OnlyAdViewer: return "OnlyAdViewer";
    default: return "normal";
    }
}

RequestMode ModeOf(const FlatDocument& request)
{
    if (request.Child("OnlyAdViewer").value_or("") == "True") {
        return RequestMode::OnlyAdViewer;
    }
    return request.Child("ProgramName") ? RequestMode::QuickCheck : RequestMode::Normal;
}

std::int64_t LeadingNumber(std::string_view text)
{
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        // Saturates: a version part beyond 64 bits is simply "very large".
        if (value > (std::numeric_limits<std::int64_t>::max() - 9) / 10) {
            return std::numeric_limits<std::int64_t>::max();
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

int CompareVersions(std::string_view a, std::string_view b)
{
    while (!a.empty() || !b.empty()) {
        const std::int64_t x = LeadingNumber(a);
        const std::int64_t y = LeadingNumber(b);
        if (x != y) {
            return x < y ? -1 : 1;
        }
        const auto next = [](std::string_view& s) {
            const std::size_t dot = s.find('.');
            s = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
        };
        next(a);
        next(b);
    }
    return 0;
}

Elements DecideQuickCheckAnswer(const FlatDocument& request, const Product* product)
{
    Elements out;
    if (!product) {
        return out;
    }
    if (!product->errorMessage.empty()) {
        out.emplace_back("ErrorMessage", product->errorMessage);
    }
    const auto add = [&](const char* name, const std::string& value) {
        if (!value.empty()) {
            out.emplace_back(name, value);
        }
    };
    switch (ModeOf(request)) {
    case RequestMode::Normal:
        add("RenovaWorkerUrl", product->workerUrl);
        add("AdViewerUrl", product->adViewerUrl);
        break;
    case RequestMode::QuickCheck: {
        const std::string version = request.Child("ProgramVersionNumber").value_or("");
        if (!product->newestVersion.empty() && CompareVersions(product->newestVersion, version) > 0) {
            out.emplace_back("MaxUpdateableProductVersionExistingOnServer", product->newestVersion);
        }
        if (product->majorUpgradeVersion && *product->majorUpgradeVersion > LeadingNumber(version)) {
            out.emplace_back("MajorUpgradeProductVersion", std::to_string(*product->majorUpgradeVersion));
        }
        break;
    }
    case RequestMode::OnlyAdViewer:
        add("AdViewerUrl", product->adViewerUrl);
        add("AdCampaignId", product->adCampaignId);
        break;
    }
    out.insert(out.end(), product->extraElements.begin(), product->extraElements.end());
    return out;
}

Elements SubstitutePlaceholders(Elements elements, const std::vector<std::pair<std::string, std::string>>& placeholders)
{
    for (auto& [name, text] : elements) {
        for (const auto& [key, value] : placeholders) {
            const std::string token = "{" + key + "}";
            for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size())) {
                text.replace(at, token.size(), value);
            }
        }
    }
    return elements;
}

std::string PrintAnswerDocument(const Elements& elements)
{
    tinyxml2::XMLDocument doc;
    auto* root = doc.NewElement("QuickCheckResponse");
    doc.InsertEndChild(root);
    for (const auto& [name, text] : elements) {
        auto* e = doc.NewElement(name.c_str());
        e->SetText(text.c_str());
        root->InsertEndChild(e);
    }
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    return std::string(printer.CStr(), static_cast<std::size_t>(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0));
}

std::string WrapEscaped(std::string_view inner)
{
    if (inner.empty()) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<string xmlns=\"http://tempuri.org/\" />";
    }
    return std::string(kWrapperStart) + EscapeXmlText(inner) + std::string(kWrapperEnd);
}

std::string WrapCdata(std::string_view inner)
{
    std::string body;
    // "]]>" cannot stand inside one section: it is split over two.
    for (std::size_t at = 0;;) {
        const std::size_t end = inner.find("]]>", at);
        if (end == std::string_view::npos) {
            body += inner.substr(at);
            break;
        }
        body += inner.substr(at, end + 2 - at);
        body += "]]><![CDATA[";
        at = end + 2;
    }
    return std::string(kWrapperStart) + "<![CDATA[" + body + "]]>" + std::string(kWrapperEnd);
}

std::string WrapAsElements(std::string_view inner)
{
    return std::string(kWrapperStart) + std::string(inner.empty() ? std::string_view("<Answer />") : inner)
        + std::string(kWrapperEnd);
}

} // namespace qrnv::standin

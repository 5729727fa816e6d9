#include "Service.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "Answer.h"
#include "FormText.h"

namespace qrnv::standin {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kXmlType = "text/xml; charset=utf-8";
constexpr std::size_t kStreamChunk = 64 * 1024;

struct ServiceMethod {
    const char* name;
    const char* argument;
    const char* root;
};

constexpr ServiceMethod kServiceMethods[] = {
    {"QuickCheck", "QuickCheckXML", "QuickCheck"},
    {"ReportUpdateStatus", "UpdateStatusXML", "UpdateStatus"},
    {"ReportUpgradeOfferStatus", "UpgradeOfferStatusXML", "UpgradeOfferStatus"},
};

const ServiceMethod* FindServiceMethod(const std::string& name)
{
    for (const ServiceMethod& m : kServiceMethods) {
        if (name == m.name) {
            return &m;
        }
    }
    return nullptr;
}

Json BaseEntry(const httplib::Request& req, const std::string& listener)
{
    Json e;
    e["time"] = UtcTimestamp();
    e["listener"] = listener;
    e["remote"] = req.remote_addr + ":" + std::to_string(req.remote_port);
    e["httpMethod"] = req.method;
    e["path"] = Latin1ToUtf8(req.target);
    e["userAgent"] = Latin1ToUtf8(req.get_header_value("User-Agent"));
    e["contentType"] = Latin1ToUtf8(req.get_header_value("Content-Type"));
    return e;
}

void Report(const ServiceState& state, const Json& entry)
{
    if (state.Settings().verbose) {
        std::printf("qrnv-service: %s %s -> %s %s\n", entry.value("httpMethod", "").c_str(),
                    entry.value("path", "").c_str(), entry.contains("status") ? entry["status"].dump().c_str() : "-",
                    entry.value("outcome", "").c_str());
        std::fflush(stdout);
    }
}

void Finish(ServiceState& state, Json& entry, int status, const std::string& outcome)
{
    entry["status"] = status;
    entry["outcome"] = outcome;
    state.GetJournal().Write(entry);
    Report(state, entry);
}

void SetText(httplib::Response& res, int status, const std::string& text)
{
    res.status = status;
    res.set_content(text, "text/plain; charset=utf-8");
}

std::optional<Catalog> CurrentCatalog(const ServiceState& state, std::string& error)
{
    if (state.Settings().catalogPath.empty()) {
        return Catalog{};
    }
    return LoadCatalog(state.Settings().catalogPath, error);
}

const Fault* SelectFault(const Product* product, const Catalog& catalog, const std::optional<Fault>& optionFault,
                         const std::string& method)
{
    for (const std::optional<Fault>* f : {product ? &product->fault : nullptr, &catalog.fault, &optionFault}) {
        if (f && *f && (*f)->AppliesTo(method)) {
            return &**f;
        }
    }
    return nullptr;
}

// The byte at `position` of an oversized answer: a wrapper around filler text, so that it
// looks like the start of a real answer that never ends.
char OversizedByte(std::uint64_t position, std::uint64_t total)
{
    const std::uint64_t head = kWrapperStart.size();
    const std::uint64_t tail = kWrapperEnd.size();
    if (total < head + tail) {
        return 'x';
    }
    if (position < head) {
        return kWrapperStart[position];
    }
    if (position >= total - tail) {
        return kWrapperEnd[position - (total - tail)];
    }
    return 'x';
}

void StreamOversized(httplib::Response& res, ServiceState& state, std::uint64_t total)
{
    res.status = 200;
    res.set_content_provider(
        static_cast<std::size_t>(total), kXmlType,
        [&state, total](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (state.Stopping()) {
                return false;
            }
            const std::size_t n = std::min(length, kStreamChunk);
            std::string chunk(n, 'x');
            if (offset < kWrapperStart.size() || offset + n > total - kWrapperEnd.size()) {
                for (std::size_t i = 0; i < n; ++i) {
                    chunk[i] = OversizedByte(offset + i, total);
                }
            }
            return sink.write(chunk.data(), chunk.size());
        });
}

// Content-Length of the whole body, then half of it, then the connection is closed.
void SendHalfAndClose(httplib::Response& res, std::string body, const char* type)
{
    const std::size_t half = body.size() / 2;
    auto shared = std::make_shared<std::string>(std::move(body));
    res.status = 200;
    res.set_content_provider(shared->size(), type,
                             [shared, half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 if (offset >= half) {
                                     return false;
                                 }
                                 return sink.write(shared->data() + offset, half - offset);
                             });
}

void AnswerServiceMethod(const httplib::Request& req, httplib::Response& res, ServiceState& state,
                         const std::string& listener)
{
    Json entry = BaseEntry(req, listener);
    const std::string methodName = req.matches[2];
    entry["serviceMethod"] = methodName;
    const ServiceMethod* method = FindServiceMethod(methodName);
    if (!method) {
        SetText(res, 404, "Unknown web method " + methodName + ".");
        entry["body"] = Latin1ToUtf8(req.body);
        Finish(state, entry, 404, "unknown-method");
        return;
    }
    entry["argument"] = method->argument;

    std::string error;
    const std::optional<Catalog> catalog = CurrentCatalog(state, error);
    const std::optional<std::string> value = FindFormArgument(req.body, method->argument);
    const std::string document = value ? FormDecode(*value) : std::string();
    entry["document"] = value ? Json(Latin1ToUtf8(document)) : Json(nullptr);
    entry["body"] = Latin1ToUtf8(req.body);

    if (!catalog) {
        std::fprintf(stderr, "qrnv-service: %s\n", error.c_str());
        SetText(res, 500, "Catalog error: " + error);
        Finish(state, entry, 500, "catalog-error: " + error);
        return;
    }
    if (!value) {
        SetText(res, 500, std::string("Missing parameter: ") + method->argument + ".");
        Finish(state, entry, 500, "missing-argument");
        return;
    }
    const std::optional<FlatDocument> request = ParseFlatDocument(document);
    if (!request) {
        SetText(res, 500, "The request document is not XML.");
        Finish(state, entry, 500, "document-not-xml");
        return;
    }
    if (request->root != method->root) {
        SetText(res, 500, "Unexpected root element " + request->root + ".");
        Finish(state, entry, 500, "wrong-root");
        return;
    }

    std::optional<std::string> programName = request->Child("ProgramName");
    if (programName) {
        programName = Latin1ToUtf8(*programName);
    }
    const Product* product = catalog->Find(programName);
    entry["product"] = product ? Json(product->name.empty() ? "default" : product->name) : Json(nullptr);

    std::string inner;
    if (std::string_view(method->name) == "QuickCheck") {
        entry["mode"] = RequestModeName(ModeOf(*request));
        const std::vector<std::pair<std::string, std::string>> placeholders = {
            {"base", state.Base(listener)}, {"http", state.Base("http")}, {"https", state.Base("https")}};
        inner = PrintAnswerDocument(SubstitutePlaceholders(DecideQuickCheckAnswer(*request, product), placeholders));
        entry["answer"] = inner;
    }

    const Fault* fault = SelectFault(product, *catalog, state.Settings().optionFault, method->name);
    const FaultKind kind = fault ? fault->kind : FaultKind::None;
    const std::string outcome = fault ? std::string("fault:") + FaultKindName(kind) : "answered";
    switch (kind) {
    case FaultKind::Status:
        SetText(res, fault->status, "Server error " + std::to_string(fault->status) + ".");
        Finish(state, entry, fault->status, outcome);
        return;
    case FaultKind::Empty:
        res.status = 200;
        res.set_content("", kXmlType);
        break;
    case FaultKind::EmptyString:
        res.status = 200;
        res.set_content(WrapEscaped(""), kXmlType);
        break;
    case FaultKind::NotXml:
        res.status = 200;
        res.set_content("Service Unavailable<br>The service is down for maintenance.", "text/html");
        break;
    case FaultKind::ElementFirst:
        res.status = 200;
        res.set_content(WrapAsElements(inner), kXmlType);
        break;
    case FaultKind::Cdata:
        res.status = 200;
        res.set_content(WrapCdata(inner), kXmlType);
        break;
    case FaultKind::CloseMidBody:
        SendHalfAndClose(res, WrapEscaped(inner), kXmlType);
        break;
    case FaultKind::Oversized:
        entry["bytes"] = fault->bytes;
        StreamOversized(res, state, fault->bytes);
        break;
    case FaultKind::Slow:
        entry["delayMs"] = fault->delayMs;
        Finish(state, entry, 200, outcome);
        if (state.Sleep(std::chrono::milliseconds(fault->delayMs))) {
            res.status = 200;
            res.set_content(WrapEscaped(inner), kXmlType);
        } else {
            SetText(res, 503, "The service is stopping.");
        }
        return;
    case FaultKind::None:
        res.status = 200;
        res.set_content(WrapEscaped(inner), kXmlType);
        break;
    }
    Finish(state, entry, 200, outcome);
}

// A file name the folder may serve: no separators, no leading dot, plain characters.
bool IsServableName(const std::string& name)
{
    if (name.empty() || name.size() > 255 || name[0] == '.') {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
            || c == '-' || c == '~' || c == ' ';
    });
}

const char* TypeOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    return ext == ".bmp" ? "image/bmp" : "application/octet-stream";
}

struct FileDescriptor {
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor()
    {
        if (fd >= 0) {
            close(fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd;
};

void ServeFile(const httplib::Request& req, httplib::Response& res, ServiceState& state, const std::string& listener)
{
    Json entry = BaseEntry(req, listener);
    const std::size_t slash = req.path.rfind('/');
    const std::string name = slash == std::string::npos ? req.path : req.path.substr(slash + 1);
    entry["file"] = Latin1ToUtf8(name);
    if (state.Settings().filesDir.empty() || !IsServableName(name)) {
        SetText(res, 404, "Not found.");
        Finish(state, entry, 404, "not-found");
        return;
    }
    std::string error;
    const std::optional<Catalog> catalog = CurrentCatalog(state, error);
    if (!catalog) {
        std::fprintf(stderr, "qrnv-service: %s\n", error.c_str());
        SetText(res, 500, "Catalog error: " + error);
        Finish(state, entry, 500, "catalog-error: " + error);
        return;
    }
    const std::string path = state.Settings().filesDir + "/" + name;
    auto file = std::make_shared<FileDescriptor>(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (file->fd < 0 || fstat(file->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetText(res, 404, "Not found.");
        Finish(state, entry, 404, "not-found");
        return;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    entry["bytes"] = size;

    const auto faultAt = catalog->fileFaults.find(name);
    const Fault* fault = faultAt == catalog->fileFaults.end() ? nullptr : &faultAt->second;
    const FaultKind kind = fault ? fault->kind : FaultKind::None;
    const std::string outcome = fault ? std::string("fault:") + FaultKindName(kind) : "served";
    if (kind == FaultKind::Status) {
        SetText(res, fault->status, "Server error " + std::to_string(fault->status) + ".");
        Finish(state, entry, fault->status, outcome);
        return;
    }
    if (kind == FaultKind::Empty) {
        res.status = 200;
        res.set_content("", TypeOf(name));
        Finish(state, entry, 200, outcome);
        return;
    }
    // Whole file, or its first half before the connection is dropped.
    const std::size_t end = kind == FaultKind::CloseMidBody ? size / 2 : size;
    Finish(state, entry, 200, outcome);
    if (kind == FaultKind::Slow && !state.Sleep(std::chrono::milliseconds(fault->delayMs))) {
        SetText(res, 503, "The service is stopping.");
        return;
    }
    res.status = 200;
    res.set_content_provider(size, TypeOf(name),
                             [file, end, &state](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 if (offset >= end || state.Stopping()) {
                                     return false;
                                 }
                                 std::string chunk(std::min({length, kStreamChunk, end - offset}), '\0');
                                 const ssize_t n = pread(file->fd, chunk.data(), chunk.size(), static_cast<off_t>(offset));
                                 if (n <= 0) {
                                     return false;
                                 }
                                 return sink.write(chunk.data(), static_cast<std::size_t>(n));
                             });
}

} // namespace

ServiceState::ServiceState(ServiceSettings settings, Journal& journal)
    : mSettings(std::move(settings)), mJournal(journal)
{
}

void ServiceState::SetBase(const std::string& listener, const std::string& base)
{
    std::lock_guard<std::mutex> guard(mLock);
    mBases[listener] = base;
}

std::string ServiceState::Base(const std::string& listener) const
{
    std::lock_guard<std::mutex> guard(mLock);
    const auto it = mBases.find(listener);
    return it == mBases.end() ? std::string() : it->second;
}

void ServiceState::RequestStop()
{
    {
        std::lock_guard<std::mutex> guard(mLock);
        mStopping = true;
    }
    mStopSignal.notify_all();
}

bool ServiceState::Stopping() const
{
    std::lock_guard<std::mutex> guard(mLock);
    return mStopping;
}

bool ServiceState::Sleep(std::chrono::milliseconds delay)
{
    std::unique_lock<std::mutex> guard(mLock);
    return !mStopSignal.wait_for(guard, delay, [this] { return mStopping; });
}

void InstallHandlers(httplib::Server& server, ServiceState& state, const std::string& listener)
{
    // Answers go out as they are, never compressed: every client sees the same bytes, and a
    // streamed fault keeps its size on the wire. The request object is the server's own,
    // not a const one, so dropping the header before routing is sound.
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Any base path before the service file, as a service may be mounted anywhere.
    server.Post(R"((.*/)?QRNVWebservice\.asmx/([^/]*))",
                [&state, listener](const httplib::Request& req, httplib::Response& res) {
                    AnswerServiceMethod(req, res, state, listener);
                });
    server.Post(R"(.*)", [&state, listener](const httplib::Request& req, httplib::Response& res) {
        Json entry = BaseEntry(req, listener);
        entry["body"] = Latin1ToUtf8(req.body);
        SetText(res, 404, "Not found.");
        Finish(state, entry, 404, "not-found");
    });
    server.Get(R"(.*)", [&state, listener](const httplib::Request& req, httplib::Response& res) {
        ServeFile(req, res, state, listener);
    });
    server.set_exception_handler([](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
        std::string what = "unknown exception";
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        std::fprintf(stderr, "qrnv-service: %s %s failed: %s\n", req.method.c_str(), req.target.c_str(), what.c_str());
        SetText(res, 500, "Internal error.");
    });
}

} // namespace qrnv::standin

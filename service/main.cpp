// clipdeck-service: answers on loopback for the video service's hosts.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "common/percent.h"
#include "common/quality.h"
#include "fault.h"
#include "fault_socket.h"
#include "library.h"
#include "media.h"
#include "options.h"
#include "paths.h"
#include "platform.h"
#include "range.h"
#include "request.h"

#ifndef CLIPDECK_SERVICE_DEFAULT_CATALOGUE
#error "the build defines CLIPDECK_SERVICE_DEFAULT_CATALOGUE"
#endif

namespace svc = clipdeck::service;
using Clock = std::chrono::steady_clock;

namespace {

std::mutex outputMutex;

void PrintLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(outputMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Set when routing starts and read by the logger, which httplib calls on the
// same worker thread once the answer is written.
thread_local std::optional<Clock::time_point> requestStart;
// The body bytes of the answer, for the log: a media answer's body is sent
// from the file and never held in the response.
thread_local std::uint64_t answerBytes = 0;
// How the fault rules took the request, for the log and the byte counts.
thread_local svc::FaultPlan::Decision faultDecision;

// Lets latency waits end early when the service stops, so a long
// --latency-ms never holds up the exit.
class StopFlag {
public:
    void Raise() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            raised_ = true;
        }
        changed_.notify_all();
    }
    void Wait(std::chrono::milliseconds delay) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, delay, [this] { return raised_; });
    }
    bool Raised() {
        std::lock_guard<std::mutex> lock(mutex_);
        return raised_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// Written beside the target and renamed into place, so a script polling for
// the file never reads half a number.
bool WritePortFile(const std::string& path, int port) {
    const std::string temp = path + ".tmp" + std::to_string(svc::ProcessId());
    std::error_code ignored;
    {
        std::ofstream out(svc::PathFromUtf8(temp), std::ios::trunc | std::ios::binary);
        out << port << '\n';
        out.close();
        if (!out) {
            std::filesystem::remove(svc::PathFromUtf8(temp), ignored);
            return false;
        }
    }
    if (!svc::ReplaceFile(temp, path)) {
        std::filesystem::remove(svc::PathFromUtf8(temp), ignored);
        return false;
    }
    return true;
}

// The catalogue beside the program (catalogue/catalogue.tsv, as a packaged
// service has it) when there is one, else the source tree's.
std::string DefaultCatalogue() {
    const std::string beside = svc::Utf8FromPath(svc::PathFromUtf8(svc::ProgramFolder()) / "catalogue" / "catalogue.tsv");
    std::error_code ignored;
    if (std::filesystem::is_regular_file(svc::PathFromUtf8(beside), ignored)) return beside;
    return CLIPDECK_SERVICE_DEFAULT_CATALOGUE;
}

void SetText(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text, "text/plain; charset=UTF-8");
    answerBytes = text.size();
}

// How a media request is answered, decided before any byte of the file is
// read. The size is taken now, not from start-up, so a file that changed is
// not cut short.
struct MediaPlan {
    int status = 200;
    std::optional<std::string> text;  // set: this text in place of the file
    std::vector<std::pair<std::string, std::string>> headers;
    std::shared_ptr<const svc::OpenedFile> file;
    std::uint64_t first = 0;
    std::uint64_t length = 0;
};

MediaPlan PlanMedia(const httplib::Request& req, const std::string& path) {
    MediaPlan plan;
    MediaPlan notFound;
    notFound.status = 404;
    notFound.text = "Not found";
    plan.file = svc::OpenedFile::Open(path);
    if (!plan.file) return notFound;
    const std::uint64_t size = plan.file->Size();

    plan.headers.emplace_back("Accept-Ranges", "bytes");
    const svc::ByteRange range = svc::ParseByteRange(req.get_header_value("Range"), size);
    if (range.kind == svc::ByteRange::Kind::Unsatisfiable) {
        plan.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
        plan.status = 416;
        plan.text = "Range not satisfiable";
        return plan;
    }
    plan.length = size;
    if (range.kind == svc::ByteRange::Kind::Part) {
        plan.first = range.first;
        plan.length = range.Length();
        plan.headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                       std::to_string(range.last) + "/" + std::to_string(size));
        plan.status = 206;
    }
    return plan;
}

// Sends the file, or the one byte range the request asks for, read as it is
// written out so that a large file is never held in memory.
void ServeMedia(const httplib::Request& req, httplib::Response& res, const svc::Reply& reply) {
    const svc::MediaFile& media = *reply.media;
    const MediaPlan plan = PlanMedia(req, reply.mediaPath);
    for (const auto& [name, value] : plan.headers) res.set_header(name.c_str(), value);
    if (plan.text) return SetText(res, plan.status, *plan.text);
    res.status = plan.status;
    answerBytes = req.method == "HEAD" ? 0 : plan.length;
    if (plan.length == 0) {
        res.set_content(std::string(), media.contentType.c_str());
        return;
    }
    res.set_content_provider(
        plan.length, media.contentType,
        [file = plan.file, first = plan.first](std::size_t offset, std::size_t want, httplib::DataSink& sink) {
            char buffer[64 * 1024];
            const std::size_t n = std::min(want, sizeof buffer);
            const long long got = file->ReadAt(first + offset, buffer, n);
            if (got <= 0) return false;
            return sink.write(buffer, static_cast<std::size_t>(got));
        });
}

// The whole answer in memory, for a fault to cut up: faulted answers are
// test material, a few blocks at most.
svc::RawAnswer RawAnswerOf(const httplib::Request& req, const svc::Reply& reply) {
    svc::RawAnswer raw;
    if (reply.media == nullptr) {
        raw.status = reply.status;
        if (!reply.contentType.empty()) raw.headers.emplace_back("Content-Type", reply.contentType);
        raw.body = reply.body;
        return raw;
    }
    const MediaPlan plan = PlanMedia(req, reply.mediaPath);
    raw.status = plan.status;
    raw.headers = plan.headers;
    if (plan.text) {
        raw.headers.emplace_back("Content-Type", "text/plain; charset=UTF-8");
        raw.body = *plan.text;
        return raw;
    }
    raw.headers.emplace_back("Content-Type", reply.media->contentType);
    raw.body.resize(plan.length);
    std::uint64_t done = 0;
    while (done < plan.length) {
        const long long got = plan.file->ReadAt(plan.first + done, raw.body.data() + done, plan.length - done);
        if (got <= 0) break;
        done += static_cast<std::uint64_t>(got);
    }
    raw.body.resize(done);
    return raw;
}

// GET /_faults?set=RULE&set=RULE...: the rules from now on (none: no faults).
void ChangeFaults(const httplib::Request& req, httplib::Response& res, svc::FaultPlan& faults) {
    std::vector<svc::FaultRule> rules;
    auto [from, to] = req.params.equal_range("set");
    for (auto it = from; it != to; ++it) {
        svc::FaultParse parse = svc::ParseFaultRule(it->second);
        if (!parse.rule) return SetText(res, 400, parse.error + "\n");
        rules.push_back(std::move(*parse.rule));
    }
    std::string text = "faults:";
    for (const svc::FaultRule& rule : rules) text += " " + svc::FormatFaultRule(rule);
    faults.Replace(std::move(rules));
    SetText(res, 200, text + "\n");
}

// The catalogue's videos with their files read. Messages go to standard
// error; nothing when a file the catalogue names cannot be read, or a media
// folder is not one.
std::optional<svc::Catalogue> BuildCatalogue(const svc::Options& options,
                                             const svc::Catalogue& listed) {
    std::vector<svc::Video> videos(listed.Videos().begin(), listed.Videos().end());
    const std::string base = std::filesystem::path(options.catalogue).parent_path().string();
    const auto problems = svc::ResolveCatalogueMedia(videos, base.empty() ? "." : base);
    for (const std::string& message : problems)
        std::fprintf(stderr, "clipdeck-service: %s: %s\n", options.catalogue.c_str(), message.c_str());
    if (!problems.empty()) return std::nullopt;
    for (const std::string& dir : options.mediaDirs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(svc::PathFromUtf8(dir), ec)) {
            std::fprintf(stderr, "clipdeck-service: --media-dir %s: not a folder\n", dir.c_str());
            return std::nullopt;
        }
    }
    svc::Catalogue catalogue;
    for (svc::Video& video : videos) catalogue.Add(std::move(video));
    return catalogue;
}

// How long a request for a video not known yet may wait for the media
// folders' files that would make it: well under the program's own time-out.
constexpr std::chrono::milliseconds kAwaitVideo{2000};

}  // namespace

int main(int argc, char** argv) {
    svc::PrepareProcess();
    const std::string defaultCatalogue = DefaultCatalogue();
    const svc::OptionsParse parse = svc::ParseOptions(svc::Arguments(argc, argv), defaultCatalogue);
    if (parse.showHelp) {
        std::fputs(svc::UsageText(defaultCatalogue).c_str(), stdout);
        return 0;
    }
    if (!parse.error.empty()) {
        std::fprintf(stderr, "clipdeck-service: %s\nTry 'clipdeck-service --help'.\n",
                     parse.error.c_str());
        return 2;
    }
    const svc::Options& options = parse.options;

    svc::CatalogueLoad load = svc::LoadCatalogueFile(options.catalogue);
    if (!load.catalogue) {
        for (const std::string& message : load.messages)
            std::fprintf(stderr, "clipdeck-service: %s\n", message.c_str());
        return 2;
    }
    std::optional<svc::Catalogue> built = BuildCatalogue(options, *load.catalogue);
    if (!built) return 2;
    svc::Library library(
        std::move(*built), options.mediaDirs, [](const std::string& line) { PrintLine(line); },
        [](const std::string& line) {
            std::lock_guard<std::mutex> lock(outputMutex);
            std::fprintf(stderr, "clipdeck-service: %s\n", line.c_str());
        });

    // Before any thread starts (on Linux the stop signals are blocked in
    // every thread, which inherit the mask, and taken on one of our own).
    svc::StopRequests stopRequests;

    httplib::Server server;
    StopFlag stopping;
    svc::FaultPlan faults;
    faults.Replace(options.faults);

    // httplib's default also sets SO_REUSEPORT, which would let a second
    // service bind the same port and take half the requests unnoticed.
    server.set_socket_options([](socket_t sock) { svc::SetListeningOptions(static_cast<std::intptr_t>(sock)); });

    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
        requestStart = Clock::now();
        if (options.latencyMs > 0) stopping.Wait(std::chrono::milliseconds(options.latencyMs));
        // Ranges are served here, for media only; left in place, the library
        // would also cut every other answer to them, and cut a media answer a
        // second time. The request is the library's own non-const object.
        const_cast<httplib::Request&>(req).ranges.clear();
        faultDecision = {};
        // Only requests addressed to this machine (or to the video service's
        // names, through the browser's proxy): a page that points its own
        // name at 127.0.0.1 must not read what is served here.
        if (const std::string host = req.get_header_value("Host"); !svc::IsAllowedHost(host, req.local_addr)) {
            PrintLine("refused Host " + common::PercentEncode(host, common::PercentKeep::Visible) +
                      ": not this machine's");
            SetText(res, 403, "Forbidden: this service answers only requests addressed to this machine\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.path == "/_faults") {
            ChangeFaults(req, res, faults);
            return httplib::Server::HandlerResponse::Handled;
        }
        faultDecision = faults.Decide(req.target);
        if (options.forcedStatus == 0) {
            const svc::Route route = svc::ParseRoute(req.target);
            if (!route.id.empty() && library.Snapshot()->catalogue.Find(route.id) == nullptr)
                library.AwaitVideo(route.id, kAwaitVideo);
            if (route.waitSeconds > 0) library.AwaitScanned(std::chrono::seconds(route.waitSeconds));
        }
        // Held until the answer is made: a media answer points into it.
        const std::shared_ptr<const svc::LibrarySnapshot> snapshot = library.Snapshot();
        svc::Reply reply = svc::HandleRequest(*snapshot, req.method, req.target, options.forcedStatus);
        if (faultDecision.fault) {
            const svc::SocketHandle fd = svc::FindConnection(req.local_port, req.remote_addr, req.remote_port);
            if (fd == svc::kNoSocket) {
                SetText(res, 500, "The fault could not find its connection");
                return httplib::Server::HandlerResponse::Handled;
            }
            const svc::RawAnswer raw = RawAnswerOf(req, reply);
            res.status = raw.status;
            res.set_header("Connection", "close");
            answerBytes = svc::PlayFault(fd, *faultDecision.fault, raw, [&] { return stopping.Raised(); });
            return httplib::Server::HandlerResponse::Handled;
        }
        if (reply.media != nullptr) {
            ServeMedia(req, res, reply);
            return httplib::Server::HandlerResponse::Handled;
        }
        res.status = reply.status;
        if (!reply.contentType.empty()) res.set_content(reply.body, reply.contentType.c_str());
        answerBytes = reply.body.size();
        return httplib::Server::HandlerResponse::Handled;
    });

    server.set_logger([&](const httplib::Request& req, const httplib::Response& res) {
        long long ms = 0;
        if (requestStart) {
            ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *requestStart)
                     .count();
            requestStart.reset();
        }
        std::string line = svc::FormatLogLine(req.method, req.target, res.status, answerBytes, ms);
        if (faultDecision.fault) line += " fault " + svc::FormatFaultRule(*faultDecision.fault);
        else faults.AddBytes(faultDecision, answerBytes);
        PrintLine(line);
        answerBytes = 0;
        faultDecision = {};
    });

    int port = options.port;
    bool bound;
    if (port == 0) {
        port = server.bind_to_any_port(options.bind);
        bound = port > 0;
    } else {
        bound = server.bind_to_port(options.bind, port);
    }
    if (!bound) {
        std::fprintf(stderr, "clipdeck-service: cannot listen on %s: %s\n",
                     svc::FormatAddress(options.bind, options.port).c_str(), svc::LastSocketError().c_str());
        return 1;
    }

    PrintLine("clipdeck-service listening on " + svc::FormatAddress(options.bind, port));
    // The folders are read behind the requests: the catalogue is served at
    // once, and each folder video as soon as it has been read.
    library.Start();
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
        std::fprintf(stderr, "clipdeck-service: cannot write the port file %s\n",
                     options.portFile.c_str());
        return 1;
    }

    std::atomic<bool> listenDone{false};
    std::atomic<bool> stopRequested{false};
    std::thread signalThread([&] {
        if (!stopRequests.Wait([&] { return listenDone.load(); })) return;
        stopRequested = true;
        stopping.Raise();
        // stop() only acts on a running server; a stop asked before the
        // accept loop has started waits for it.
        while (!server.is_running() && !listenDone)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!listenDone) server.stop();
    });

    const bool listened = server.listen_after_bind();
    listenDone = true;
    stopping.Raise();
    signalThread.join();
    if (!listened && !stopRequested) {
        std::fprintf(stderr, "clipdeck-service: the listening socket failed\n");
        return 1;
    }
    return 0;
}

// clipdeck-service: answers on loopback for the video service's hosts.

#include <httplib.h>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "options.h"
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

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// Written beside the target and renamed into place, so a script polling for
// the file never reads half a number.
bool WritePortFile(const std::string& path, int port) {
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        out << port << '\n';
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const svc::OptionsParse parse = svc::ParseOptions(args, CLIPDECK_SERVICE_DEFAULT_CATALOGUE);
    if (parse.showHelp) {
        std::fputs(svc::UsageText(CLIPDECK_SERVICE_DEFAULT_CATALOGUE).c_str(), stdout);
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
    const svc::Catalogue catalogue = std::move(*load.catalogue);

    // SIGINT and SIGTERM are blocked in every thread and taken by sigtimedwait
    // on a thread of our own, so the stop never runs inside a signal handler.
    // Threads inherit the mask, hence this comes before any thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::Server server;
    StopFlag stopping;

    // httplib's default also sets SO_REUSEPORT, which would let a second
    // service bind the same port and take half the requests unnoticed.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
        requestStart = Clock::now();
        if (options.latencyMs > 0) stopping.Wait(std::chrono::milliseconds(options.latencyMs));
        svc::Reply reply = svc::HandleRequest(catalogue, req.method, req.target, options.forcedStatus);
        res.status = reply.status;
        if (!reply.contentType.empty()) res.set_content(reply.body, reply.contentType.c_str());
        return httplib::Server::HandlerResponse::Handled;
    });

    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        long long ms = 0;
        if (requestStart) {
            ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *requestStart)
                     .count();
            requestStart.reset();
        }
        PrintLine(svc::FormatLogLine(req.method, req.target, res.status, res.body.size(), ms));
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
        const int error = errno;
        std::fprintf(stderr, "clipdeck-service: cannot listen on %s: %s\n",
                     svc::FormatAddress(options.bind, options.port).c_str(), std::strerror(error));
        return 1;
    }

    PrintLine("clipdeck-service listening on " + svc::FormatAddress(options.bind, port));
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
        std::fprintf(stderr, "clipdeck-service: cannot write the port file %s\n",
                     options.portFile.c_str());
        return 1;
    }

    std::atomic<bool> listenDone{false};
    std::atomic<bool> stopRequested{false};
    std::thread signalThread([&] {
        const timespec tick{0, 100'000'000};
        while (!listenDone) {
            if (sigtimedwait(&stopSignals, nullptr, &tick) <= 0) continue;
            stopRequested = true;
            stopping.Raise();
            // stop() only acts on a running server; a signal that comes in
            // before the accept loop has started waits for it.
            while (!server.is_running() && !listenDone)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (!listenDone) server.stop();
            return;
        }
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

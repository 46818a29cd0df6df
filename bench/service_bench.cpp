// How clipdeck-service copes with media folders of any size: for folders of
// 0, 1000 and 10 000 files (hard links of one small clip), the time from its
// start until it answers, until every video is listed (its "scanned" line,
// then checked on the library page), and its memory. Prints figures; decides
// nothing.
//
//   service_bench --service PATH --clip FILE [--work DIR] [--runs 3] [--sizes 0,1000,10000]

#include <httplib.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A field of /proc/PID/status in kB ("VmRSS", "VmHWM").
long StatusKb(pid_t pid, const std::string& field) {
    std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
    }
    return -1;
}

struct Run {
    double answerMs = -1;  // start to the first answer
    double listedMs = -1;  // start to the "scanned" line
    long rssKb = -1;       // once listed and the page was made once
    long peakKb = -1;
    std::size_t rows = 0;  // rows of the library page
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

Run Measure(const std::string& service, const fs::path& folder, const fs::path& work) {
    Run run;
    const fs::path portFile = work / "port", log = work / "service.log";
    fs::remove(portFile);
    std::vector<std::string> args = {service, "--port", "0", "--port-file", portFile.string(),
                                     "--media-dir", folder.string()};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const auto start = Clock::now();
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "service_bench: cannot start %s\n", service.c_str());
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&files);

    int port = 0;
    // The log is read as it grows, a line at a time, so that following it
    // costs next to nothing beside the service.
    FILE* lines = std::fopen(log.c_str(), "r");
    std::string line;
    while (Clock::now() - start < 120s && run.listedMs < 0) {
        if (port == 0) {
            const std::string text = ReadFile(portFile);
            if (!text.empty() && text.back() == '\n') port = std::atoi(text.c_str());
        }
        if (port != 0 && run.answerMs < 0) {
            httplib::Client client("127.0.0.1", port);
            if (auto res = client.Get("/apiplayer"); res && res->status == 200) run.answerMs = Ms(Clock::now() - start);
        }
        char buffer[4096];
        while (lines != nullptr && std::fgets(buffer, sizeof buffer, lines) != nullptr) {
            line += buffer;
            if (line.back() != '\n') continue;
            if (line.rfind("scanned ", 0) == 0) run.listedMs = Ms(Clock::now() - start);
            line.clear();
        }
        if (lines != nullptr) std::clearerr(lines);
        if (run.listedMs < 0) std::this_thread::sleep_for(1ms);
    }
    if (lines != nullptr) std::fclose(lines);
    if (port != 0) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(30s);
        if (auto page = client.Get("/")) {
            for (std::size_t at = page->body.find("<tr id=\"v-"); at != std::string::npos;
                 at = page->body.find("<tr id=\"v-", at + 1))
                ++run.rows;
        }
        std::this_thread::sleep_for(200ms);
        run.rssKb = StatusKb(pid, "VmRSS");
        run.peakKb = StatusKb(pid, "VmHWM");
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return run;
}

template <typename Get>
double Median(const std::vector<Run>& runs, Get get) {
    std::vector<double> values;
    for (const Run& run : runs) values.push_back(static_cast<double>(get(run)));
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::string service, clip;
    fs::path work = fs::temp_directory_path() / "clipdeck-service-bench";
    int runs = 3;
    std::vector<int> sizes = {0, 1000, 10000};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--service") service = value;
        else if (option == "--clip") clip = value;
        else if (option == "--work") work = value;
        else if (option == "--runs") runs = std::max(1, std::atoi(value.c_str()));
        else if (option == "--sizes") {
            sizes.clear();
            std::istringstream list(value);
            for (std::string n; std::getline(list, n, ',');) sizes.push_back(std::atoi(n.c_str()));
        }
    }
    if (service.empty() || clip.empty()) {
        std::fputs("usage: service_bench --service PATH --clip FILE [--work DIR] [--runs 3] [--sizes 0,1000,10000]\n",
                   stderr);
        return 2;
    }

    std::printf("clipdeck-service with a media folder of N hard links of %s, median of %d runs\n",
                fs::path(clip).filename().c_str(), runs);
    std::printf("%8s %12s %14s %10s %10s %12s %10s\n", "files", "answers ms", "all listed ms", "RSS MB",
                "peak MB", "KB per video", "page rows");
    long emptyRss = -1;
    for (int size : sizes) {
        const fs::path folder = work / ("folder-" + std::to_string(size));
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (int i = 0; i < size; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "clip%05d.mp4", i);
            fs::create_hard_link(clip, folder / name);
        }
        std::vector<Run> results;
        for (int r = 0; r < runs; ++r) results.push_back(Measure(service, folder, work));
        const double rss = Median(results, [](const Run& run) { return run.rssKb; });
        if (size == 0) emptyRss = static_cast<long>(rss);
        std::string perVideo = "-";
        if (size > 0 && emptyRss >= 0) {
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", (rss - static_cast<double>(emptyRss)) / size);
            perVideo = text;
        }
        std::printf("%8d %12.1f %14.1f %10.1f %10.1f %12s %10.0f\n", size,
                    Median(results, [](const Run& run) { return run.answerMs; }),
                    Median(results, [](const Run& run) { return run.listedMs; }), rss / 1024.0,
                    Median(results, [](const Run& run) { return run.peakKb; }) / 1024.0, perVideo.c_str(),
                    Median(results, [](const Run& run) { return static_cast<double>(run.rows); }));
        std::fflush(stdout);
        fs::remove_all(folder);
    }
    return 0;
}

#pragma once
// The built clipdeck-service run as a child process with its output in files
// of a private folder, and an HTTP client for it: shared by the process
// tests and the browser test.

#include <httplib.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace clipdeck::test {


namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline constexpr char kJapaneseTitle[] =  // 東京の夜景タイムラプス
    "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C\xE6\x99\xAF\xE3\x82\xBF\xE3\x82\xA4"
    "\xE3\x83\xA0\xE3\x83\xA9\xE3\x83\x97\xE3\x82\xB9";

// The service under test: the native build, or the command that
// CLIPDECK_SERVICE_COMMAND names (words separated by '|'), such as the
// Windows build under Wine: "scripts/wine-run.sh|build/win/service/clipdeck-service.exe".
inline std::vector<std::string> ServiceCommand() {
    const char* command = std::getenv("CLIPDECK_SERVICE_COMMAND");
    if (command == nullptr || *command == '\0') return {CLIPDECK_SERVICE_EXE};
    std::vector<std::string> words;
    std::string word;
    for (const char* c = command;; ++c) {
        if (*c == '|' || *c == '\0') {
            words.push_back(word);
            word.clear();
            if (*c == '\0') break;
        } else {
            word += *c;
        }
    }
    return words;
}

// The Windows build: it stops on Ctrl+C, which Wine makes of SIGINT (SIGTERM
// ends a Windows program at once), and Wine's media sources give it no title
// tags, so a file's title is its name.
inline bool WindowsBuild() { return std::getenv("CLIPDECK_SERVICE_COMMAND") != nullptr; }

// The title the service gives a file whose title tag is `tagged`, named `name`.
inline std::string TitleOf(const std::string& tagged, const std::string& name) {
    return WindowsBuild() ? name : tagged;
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// One run of the service with its output in files of a private folder.
class ServiceProcess {
public:
    ServiceProcess() {
        std::string pattern = (fs::temp_directory_path() / "clipdeck-svc-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
    }
    ~ServiceProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    const fs::path& Dir() const { return dir_; }
    int Port() const { return port_; }
    std::string Stdout() const { return ReadFile(dir_ / "stdout.txt"); }
    std::string Stderr() const { return ReadFile(dir_ / "stderr.txt"); }

    // Starts the program with `args` and --port-file, and waits until it
    // listens. False when it exits instead (ExitCode() then tells how).
    bool Start(std::vector<std::string> args) {
        args.insert(args.end(), {"--port-file", (dir_ / "port").string()});
        Spawn(args);
        const auto limit = Clock::now() + 20s;
        while (Clock::now() < limit) {
            std::string text = ReadFile(dir_ / "port");
            if (!text.empty() && text.back() == '\n') {
                port_ = std::atoi(text.c_str());
                return true;
            }
            if (Reap(false)) return false;
            std::this_thread::sleep_for(5ms);
        }
        ADD_FAILURE() << "the service neither listened nor exited";
        return false;
    }

    // Runs the program with `args` to its end.
    int Run(const std::vector<std::string>& args) {
        Spawn(args);
        Reap(true);
        return exit_;
    }

    // Sends `signal` and waits, at most `limit`, for the exit.
    int Stop(int signal = SIGTERM, std::chrono::seconds limit = 20s) {
        if (pid_ <= 0) return exit_;
        kill(pid_, WindowsBuild() ? SIGINT : signal);
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (Reap(false)) return exit_;
            std::this_thread::sleep_for(5ms);
        }
        ADD_FAILURE() << "the service did not exit after signal " << signal;
        return -1;
    }

    int ExitCode() const { return exit_; }

    // Waits, at most `limit`, until standard output holds `count` whole lines.
    bool WaitForLines(std::size_t count, std::chrono::seconds limit = 20s) const {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            const std::string text = Stdout();
            if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= count)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    // Waits, at most `limit`, until standard output holds a line starting
    // with `prefix` ("scanned " once the media folders have been read through).
    bool WaitForLine(const std::string& prefix, std::chrono::seconds limit = 20s) const {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            for (const std::string& line : Lines(Stdout())) {
                if (line.rfind(prefix, 0) == 0) return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

private:
    void Spawn(const std::vector<std::string>& args) {
        std::vector<std::string> all = ServiceCommand();
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, (dir_ / "stdout.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, (dir_ / "stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        int rc = posix_spawn(&pid_, argv[0], &files, &attr, argv.data(), environ);
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&files);
        if (rc != 0) {
            pid_ = -1;
            ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(rc);
        }
    }

    bool Reap(bool block) {
        if (pid_ <= 0) return true;
        int status = 0;
        pid_t done = waitpid(pid_, &status, block ? 0 : WNOHANG);
        if (done != pid_) return false;
        pid_ = -1;
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }

    fs::path dir_;
    pid_t pid_ = -1;
    int port_ = 0;
    int exit_ = -1;
};

inline httplib::Client MakeClient(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5s);
    client.set_read_timeout(30s);
    client.set_url_encode(false);
    return client;
}

}  // namespace clipdeck::test

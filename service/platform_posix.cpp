#include "platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace clipdeck::service {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void PrepareProcess() {}

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string text(path, static_cast<std::size_t>(n));
    const std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash);
}

int ProcessId() { return static_cast<int>(getpid()); }

bool ReplaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

std::unique_ptr<OpenedFile> OpenedFile::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<OpenedFile>(new OpenedFile(fd, static_cast<std::uint64_t>(info.st_size)));
}

OpenedFile::~OpenedFile() { close(static_cast<int>(handle_)); }

long long OpenedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    return pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
}

StopRequests::StopRequests() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

StopRequests::~StopRequests() = default;

bool StopRequests::Wait(const std::function<bool()>& done) {
    const sigset_t set = StopSignals();
    const timespec tick{0, 100'000'000};
    while (!done()) {
        if (sigtimedwait(&set, nullptr, &tick) > 0) return true;
    }
    return false;
}

void SetListeningOptions(std::intptr_t socket) {
    int yes = 1;
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

std::string LastSocketError() { return std::strerror(errno); }

}  // namespace clipdeck::service

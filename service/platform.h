#pragma once
// What the service needs of the operating system beyond the standard library
// and the HTTP library: its command line and output, files read at any
// offset, the stop request, and the listening socket. platform_posix.cpp on
// Linux, platform_win.cpp on Windows; nothing else in the service includes
// an operating system's header but the listing of folders, the fault
// sockets and the media reader, each with a file per system.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace clipdeck::service {

// Once, first thing: on Windows, standard output and error written as they
// are (lines end in "\n" alone, as on Linux) and a console shows UTF-8.
void PrepareProcess();

// The command line as UTF-8, without the program's name.
std::vector<std::string> Arguments(int argc, char** argv);

// The folder the running program is in (UTF-8).
std::string ProgramFolder();

int ProcessId();

// Puts `from` in the place of `to`, replacing it in one step.
bool ReplaceFile(const std::string& from, const std::string& to);

// A file opened for reading at any offset. Opened so that it can still be
// replaced or deleted while it is being sent.
class OpenedFile {
public:
    // Nothing when the file cannot be opened or is not a regular file.
    static std::unique_ptr<OpenedFile> Open(const std::string& path);
    ~OpenedFile();
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    std::uint64_t Size() const { return size_; }
    // Up to `size` bytes from `offset`: the count read, 0 at the end, -1 on failure.
    long long ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;

private:
    OpenedFile(std::intptr_t handle, std::uint64_t size) : handle_(handle), size_(size) {}
    std::intptr_t handle_;  // a descriptor, or a HANDLE
    std::uint64_t size_;
};

// The requests to stop: SIGINT and SIGTERM on Linux, Ctrl+C, Ctrl+Break and
// the console's closing on Windows. Made before any thread starts: on Linux
// the signals are blocked in every thread and taken by Wait, so the stop
// never runs inside a signal handler.
class StopRequests {
public:
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
    // Returns true when a stop was asked, false once `done()` is true; asks
    // `done` about ten times a second.
    bool Wait(const std::function<bool()>& done);
};

// Options of the listening socket: its port is this service's alone (the
// HTTP library would let a second service share it and take half the
// requests unnoticed).
void SetListeningOptions(std::intptr_t socket);

// The last socket call's error, as text.
std::string LastSocketError();

}  // namespace clipdeck::service

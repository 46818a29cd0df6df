#pragma once
// What the program sets going beside its window at start, on a thread of its
// own so that the window need not wait: its own service, when no host is
// configured, and the clipdeck: link registration.
//
// The service is clipdeck-service.exe beside the program, on 127.0.0.1:8480
// when that port is free and on any free port otherwise, serving the user's
// Videos folder (or the folder the settings name) and the demo clips beside
// the program. It runs in a job object that ends it when the program ends,
// whichever way the program ends. Until it listens the hosts are pending
// (core/host_wait.h); then both variables name it. When it cannot start, the
// hosts settle at their defaults and the window is told why.

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>

namespace launch {

class Launcher {
public:
    struct Plan {
        std::wstring programPath;  // Clipdeck.exe
        std::wstring dataFolder;   // where the service's log goes
        bool startService = false;
        std::wstring videosFolder;  // empty: the user's Videos folder
    };
    enum class State { Idle, Starting, Listening, Failed };

    // How long the service may take to listen.
    static constexpr DWORD kListenLimitMs = 15000;

    Launcher();
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Marks the hosts pending when the service is to start, and sets the
    // thread going.
    void Start(Plan plan);
    // Posts `message` to `window` once the service listens or has failed (at
    // once when it already has). Only the last window asked is told.
    void NotifyWhenSettled(HWND window, UINT message);
    // Ends the service and the thread; the destructor does it too.
    void Stop();

    State state() const;
    // The port the service listens on, once it does.
    int port() const;
    // Why the service could not start, in words for the user.
    std::wstring failure() const;

private:
    void run(Plan plan);
    void startService(const Plan& plan);
    void settle(State state, int port, std::wstring failure);

    mutable std::mutex mutex_;
    State state_ = State::Idle;
    int port_ = 0;
    std::wstring failure_;
    HWND notifyWindow_ = nullptr;
    UINT notifyMessage_ = 0;

    HANDLE stopEvent_ = nullptr;
    HANDLE job_ = nullptr;
    HANDLE service_ = nullptr;  // the service's process once it listens
    std::wstring portFile_;
    std::thread thread_;
};

}  // namespace launch

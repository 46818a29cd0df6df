#pragma once
// Media time that runs with the performance counter from a base: the clock
// of playback when no sound device keeps the time.

#include <windows.h>

#include <cstdint>

namespace playerctl {

class SteadyClock {
public:
    SteadyClock() {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        frequency_ = f.QuadPart > 0 ? f.QuadPart : 1;
    }
    // The base plus the time since it was set.
    std::int64_t Now() const { return baseMs_ + (Counter() - baseQpc_) * 1000 / frequency_; }
    std::int64_t Base() const { return baseMs_; }
    void Rebase(std::int64_t ms) {
        baseMs_ = ms;
        baseQpc_ = Counter();
    }

private:
    static std::int64_t Counter() {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }

    std::int64_t frequency_ = 1;
    std::int64_t baseQpc_ = 0;
    std::int64_t baseMs_ = 0;
};

}  // namespace playerctl

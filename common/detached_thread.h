#pragma once
// A thread that nobody joins, started so that it never ends before it has
// been detached.
//
// MinGW-w64's threads library hands back the record of a std::thread that
// is detached after its body has returned while that thread is still on
// its way out, and the ending thread goes on writing to the record, which by
// then may belong to the next thread started. That thread may then run
// another thread's work: one piece of work runs twice, another never (seen
// under Wine as two decode threads on one decoder's work, and as a fetch
// thread's work deleted twice). A thread detached while it still runs gives
// its record back itself on the way out, and nothing else touches it.

#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace common {

// Runs `body` on a new thread and lets the thread go. Throws
// std::system_error when no thread can be made; `body` must not throw.
template <typename Body>
void StartDetached(Body body) {
    auto detaching = std::make_shared<std::mutex>();
    const std::lock_guard<std::mutex> held(*detaching);
    std::thread thread([detaching, body = std::move(body)]() mutable {
        body();
        const std::lock_guard<std::mutex> detached(*detaching);
    });
    thread.detach();
}

}  // namespace common

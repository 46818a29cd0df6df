#pragma once
// The edges where our code is called by something that knows nothing of C++
// exceptions: Media Foundation calling a COM object of ours, or a thread's
// start. An exception that reached one of them would end the process; each
// edge turns it into the failure its caller understands instead.

#include <windows.h>

#include <new>

namespace playerctl {

// Runs the body of a COM method: running out of memory becomes
// E_OUTOFMEMORY, any other exception E_FAIL.
template <typename Body>
HRESULT ComEdge(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// Runs a thread's body; an exception that reaches the edge is handed to
// `failed`, which reports it the way that thread reports a failure. Should
// `failed` throw as well, the thread still ends quietly.
template <typename Body, typename Failed>
void ThreadEdge(Body&& body, Failed&& failed) noexcept {
    try {
        body();
    } catch (...) {
        try {
            failed();
        } catch (...) {
        }
    }
}

}  // namespace playerctl
